// THTTPGet downloading a 16 MiB file from a local nginx into a file, beside libcurl alone writing
// the same body to a file in the same run: the cost of the worker thread, the WinInet layer, the
// 1025-byte blocks and the temporary file with its rename.
#include <curl/curl.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "support/runloop.h"
#include "support/webservers.h"
#include "transport/HTTPGet.h"

namespace {

constexpr size_t kSize = 16 * 1024 * 1024;

testsupport::WebServer& Server() {
    static std::unique_ptr<testsupport::WebServer> server = [] {
        auto s = std::make_unique<testsupport::WebServer>(testsupport::WebServer::Nginx);
        std::string body(kSize, '\0');
        for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 131 + 7);
        s->Serve("large.bin", body);
        return s;
    }();
    return *server;
}

const std::string kTarget = "/tmp/httpget_bench.bin";

void BM_HTTPGet(benchmark::State& state) {
    const std::string url = Server().Url("/large.bin");
    for (auto _ : state) {
        THTTPGet get(nullptr);
        get.URL = url;
        get.FileName = kTarget;
        int size = -1;
        bool failed = false;
        get.OnDoneFile = [&](TObject*, const std::string&, int n) { size = n; };
        get.OnError = [&](TObject*) { failed = true; };
        get.StartDownload();
        testsupport::RunLoopUntil([&] { return size >= 0 || failed; }, 60000);
        if (size != static_cast<int>(kSize)) state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
    std::remove(kTarget.c_str());
}
BENCHMARK(BM_HTTPGet)->Unit(benchmark::kMillisecond)->UseRealTime();

size_t WriteToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file)) * size;
}

void BM_LibcurlToFile(benchmark::State& state) {
    const std::string url = Server().Url("/large.bin");
    for (auto _ : state) {
        FILE* f = std::fopen(kTarget.c_str(), "wb");
        CURL* c = curl_easy_init();
        curl_easy_setopt(c, CURLOPT_URL, url.c_str());
        curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteToFile);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, f);
        CURLcode rc = curl_easy_perform(c);
        curl_easy_cleanup(c);
        long end = std::ftell(f);
        std::fclose(f);
        if (rc != CURLE_OK || end != static_cast<long>(kSize)) state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
    std::remove(kTarget.c_str());
}
BENCHMARK(BM_LibcurlToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
