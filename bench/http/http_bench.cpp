// THttpClient against a local nginx: a 64 MiB body and runs of small answers, beside curl doing the
// same work in the same run and, for the large body, a plain blocking POSIX reader.
//
// nginx is started once for the whole run, on a free loopback port, with a prefix folder of its own
// that is removed at the end.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "transport/HttpClient.h"
#include "transport/peers.h"

namespace {

constexpr std::int64_t LargeSize = 64 * 1024 * 1024;
constexpr int SmallPerIteration = 2000;

struct Server {
    std::string dir;
    int port = 0;
    testpeers::ChildProcess nginx;
    std::string curl;

    bool Start() {
        char tmpl[] = "/tmp/http_bench_XXXXXX";
        if (!mkdtemp(tmpl)) return false;
        dir = tmpl;
        for (const char* sub : {"/www", "/logs", "/tmp"}) ::mkdir((dir + sub).c_str(), 0755);
        {
            std::ofstream big(dir + "/www/large.bin", std::ios::binary);
            std::string block(1 << 20, '\0');
            for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + 7);
            for (int i = 0; i < LargeSize / (1 << 20); ++i) big.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
        port = testpeers::FreePort();
        const std::string p = std::to_string(port);
        std::ofstream(dir + "/nginx.conf")
            << "daemon off;\nmaster_process off;\nworker_processes 1;\npid " << dir << "/nginx.pid;\n"
            << "error_log " << dir << "/logs/error.log warn;\nevents { worker_connections 256; }\n"
            << "http {\n  access_log off;\n  sendfile on;\n  tcp_nopush on;\n"
            << "  client_body_temp_path " << dir << "/tmp/body;\n  proxy_temp_path " << dir << "/tmp/proxy;\n"
            << "  fastcgi_temp_path " << dir << "/tmp/fastcgi;\n  uwsgi_temp_path " << dir << "/tmp/uwsgi;\n"
            << "  scgi_temp_path " << dir << "/tmp/scgi;\n"
            << "  server {\n    listen 127.0.0.1:" << p << " backlog=1024;\n    root " << dir << "/www;\n"
            << "    location = /yollandi { default_type text/plain; return 200 \"YOLLANDI\"; }\n  }\n}\n";
        nginx = testpeers::ChildProcess("/usr/sbin/nginx", {"-p", dir + "/", "-c", dir + "/nginx.conf", "-e",
                                                            dir + "/logs/error.log"});
        curl = testpeers::FindProgram({"/usr/bin/curl", "/bin/curl"});
        return testpeers::WaitForPort(port);
    }
    void Stop() {
        nginx.Stop();
        std::error_code ec;
        if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
};

Server gServer;

void RunCurl(benchmark::State& state, const std::vector<std::string>& args) {
    testpeers::ChildProcess p(gServer.curl, args);
    while (p.Running()) usleep(200);
    if (p.ExitStatus() != 0) state.SkipWithError("curl failed");
}

void BM_LargeBody_HttpClient(benchmark::State& state) {
    THttpClient c(nullptr);
    c.URL = gServer.Url("/large.bin");
    std::int64_t total = 0;
    for (auto _ : state) {
        c.Get();
        if (c.BytesReceived() != LargeSize) state.SkipWithError("short body");
        total += c.BytesReceived();
    }
    state.SetBytesProcessed(total);
}

void BM_LargeBody_Curl(benchmark::State& state) {
    for (auto _ : state) RunCurl(state, {"-s", "--http1.0", "-o", "/dev/null", gServer.Url("/large.bin")});
    state.SetBytesProcessed(state.iterations() * LargeSize);
}

// A plain blocking reader: one request, then recv into a 64 KiB buffer until the end.
void BM_LargeBody_Posix(benchmark::State& state) {
    std::string buf(65536, '\0');
    const std::string request = "GET /large.bin HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    std::int64_t total = 0;
    for (auto _ : state) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(gServer.port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) state.SkipWithError("connect");
        ::send(fd, request.data(), request.size(), 0);
        ssize_t n;
        std::int64_t got = 0;
        while ((n = ::recv(fd, buf.data(), buf.size(), 0)) > 0) got += n;
        ::close(fd);
        if (got < LargeSize) state.SkipWithError("short body");
        total += LargeSize;
    }
    state.SetBytesProcessed(total);
}

void BM_SmallAnswers_HttpClient(benchmark::State& state) {
    THttpClient c(nullptr);
    c.URL = gServer.Url("/yollandi");
    for (auto _ : state) {
        for (int i = 0; i < SmallPerIteration; ++i) {
            c.Get();
            if (c.LastReceived() != "YOLLANDI") state.SkipWithError("wrong answer");
        }
    }
    state.SetItemsProcessed(state.iterations() * SmallPerIteration);
}

// curl fetches the same number of answers in one run (a URL range), each on a connection of its own.
void BM_SmallAnswers_Curl(benchmark::State& state) {
    const std::string range = "[1-" + std::to_string(SmallPerIteration) + "]";
    for (auto _ : state) RunCurl(state, {"-s", "--http1.0", gServer.Url("/yollandi?n=" + range)});
    state.SetItemsProcessed(state.iterations() * SmallPerIteration);
}

}  // namespace

BENCHMARK(BM_LargeBody_HttpClient)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8)->Repetitions(3);
BENCHMARK(BM_LargeBody_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8)->Repetitions(3);
BENCHMARK(BM_LargeBody_Posix)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8)->Repetitions(3);
BENCHMARK(BM_SmallAnswers_HttpClient)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);
BENCHMARK(BM_SmallAnswers_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!gServer.Start()) {
        std::fprintf(stderr, "nginx did not start\n");
        gServer.Stop();
        return 1;
    }
    if (gServer.curl.empty()) std::fprintf(stderr, "curl is not installed\n");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gServer.Stop();
    return 0;
}
