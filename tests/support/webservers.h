// Web servers for tests: Python's http.server or nginx serving a temporary folder on a free loopback
// port, started for the test and stopped by process id.
//
// Both answer /gone with 404 and /moved with a redirect to /news.txt. The Python server also has
// the faulty answers: /nolength (a body without a length, ended by closing), /cut (announces 1000
// bytes, sends 22 and closes), /stall (announces 1000 bytes, sends 11 and waits half a minute), and
// /echo, which answers a POST with the request's header lines and body.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "support/tempstate.h"
#include "transport/peers.h"

namespace testsupport {

class WebServer {
public:
    enum Kind { Python, Nginx };

    explicit WebServer(Kind kind) {
        char dirTemplate[] = "/tmp/webserver.XXXXXX";
        dir_ = mkdtemp(dirTemplate) ? dirTemplate : "";
        EXPECT_FALSE(dir_.empty());
        const std::string& d = dir_;
        ::mkdir((d + "/www").c_str(), 0755);
        port_ = FreePort();
        const std::string p = std::to_string(port_);
        if (kind == Python) {
            std::string python = testpeers::FindProgram({"/usr/bin/python3"});
            EXPECT_FALSE(python.empty()) << "python3 is not installed";
            if (python.empty()) return;
            WriteAll(d + "/server.py", kPythonServer);
            proc_ = testpeers::ChildProcess(python, {d + "/server.py", p, d + "/www"});
        } else {
            std::string nginx = testpeers::FindProgram({"/usr/sbin/nginx", "/usr/bin/nginx"});
            EXPECT_FALSE(nginx.empty()) << "nginx is not installed (Debian package nginx-light)";
            if (nginx.empty()) return;
            ::mkdir((d + "/logs").c_str(), 0755);
            ::mkdir((d + "/tmp").c_str(), 0755);
            WriteAll(d + "/nginx.conf",
                     "daemon off;\nmaster_process off;\nworker_processes 1;\npid " + d + "/nginx.pid;\n"
                     "error_log " + d + "/logs/error.log warn;\nevents { worker_connections 32; }\n"
                     "http {\n  access_log off;\n  default_type text/plain;\n"
                     "  client_body_temp_path " + d + "/tmp/b;\n  proxy_temp_path " + d + "/tmp/p;\n"
                     "  fastcgi_temp_path " + d + "/tmp/f;\n  uwsgi_temp_path " + d + "/tmp/u;\n"
                     "  scgi_temp_path " + d + "/tmp/s;\n"
                     "  server {\n    listen 127.0.0.1:" + p + ";\n    root " + d + "/www;\n"
                     "    location = /gone { return 404; }\n"
                     "    location = /moved { return 302 http://127.0.0.1:" + p + "/news.txt; }\n"
                     "  }\n}\n");
            proc_ = testpeers::ChildProcess(nginx, {"-p", d + "/", "-c", d + "/nginx.conf", "-e", d + "/logs/error.log"});
        }
        EXPECT_TRUE(testpeers::WaitForPort(port_, 10000)) << "the web server did not start";
    }
    ~WebServer() {
        proc_.Stop();
        if (!dir_.empty()) RemoveTree(dir_);
    }
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Puts a file into the served folder (name relative to it).
    void Serve(const std::string& name, const std::string& bytes) { WriteAll(dir_ + "/www/" + name, bytes); }
    int Port() const { return port_; }
    // "127.0.0.1:port" + path: a URL without the scheme, and the whole URL.
    std::string HostPath(const std::string& path) const { return "127.0.0.1:" + std::to_string(port_) + path; }
    std::string Url(const std::string& path) const { return "http://" + HostPath(path); }

private:
    static constexpr const char* kPythonServer = R"(import functools, http.server, sys, time
class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass
    def head(self, length=None):
        self.send_response(200)
        self.send_header('Content-Type', 'text/plain')
        if length is not None:
            self.send_header('Content-Length', str(length))
        self.end_headers()
    def do_GET(self):
        if self.path == '/gone':
            self.send_error(404)
        elif self.path == '/moved':
            self.send_response(302)
            self.send_header('Location', '/news.txt')
            self.send_header('Content-Length', '0')
            self.end_headers()
        elif self.path == '/nolength':
            self.head()
            self.wfile.write(b'[Kontrol]\r\nSurum=18\r\n')
        elif self.path == '/cut':
            self.head(1000)
            self.wfile.write(b'[Kontrol]\r\nSurum=18\r\n')
        elif self.path == '/stall':
            self.head(1000)
            self.wfile.write(b'[Kontrol]\r\n')
            self.wfile.flush()
            time.sleep(30)
        else:
            super().do_GET()
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get('Content-Length', '0')))
        out = (str(self.headers).replace('\n', '\r\n')).encode('latin-1') + body
        self.head(len(out))
        self.wfile.write(out)
server = http.server.ThreadingHTTPServer(('127.0.0.1', int(sys.argv[1])),
                                         functools.partial(Handler, directory=sys.argv[2]))
server.daemon_threads = True
server.serve_forever()
)";

    std::string dir_;
    int port_ = 0;
    testpeers::ChildProcess proc_;
};

}  // namespace testsupport
