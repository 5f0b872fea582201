// HTTP through XMLHttpRequest on loopback, against the local test service: a 10 MiB download beside
// libcurl's easy interface fetching the same body in-process in the same run (one handle kept, so
// its connection is kept too, as ours is), and small requests one after another. Where responseText
// is read, the peer widens the body to UTF-16 as responseText does.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "app/xml_http_request.h"
#include "bench/bench_smoke.h"
#include "platform/tests/pump.h"
#include "platform/tests/test_service.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "runtime/startup.h"

namespace {

constexpr size_t kBigSize = 10u * 1024 * 1024;

test::TestService& Service() {
    static test::TestService service;
    return service;
}

std::u16string Wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// The request's handler, as a native listener is reached: by name. It notes when the exchange is
// done and wakes the loop, which otherwise would look again only at its next message.
class DoneListener : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    XXmlHttpRequest* request = nullptr;
    bool done = false;
    std::chrono::steady_clock::time_point at;
};

int32_t OnReadyStateChanged(NUBO::XObject* object, int, NUBO::XArgList*, NUBO::XVariant*) {
    auto* self = static_cast<DoneListener*>(object);
    NUBO::XVariant state;
    if (self->request->GetReadyState(&state) == 0 && state.ToUInt32() == 4 && !self->done) {
        self->done = true;
        self->at = std::chrono::steady_clock::now();
        PostMessageW(nullptr, WM_NULL, 0, 0);
    }
    return 0;
}

const NUBO::XMemberEntry kListenerMembers[] = {
    NUBO::XMethod("onReadyStateChanged", OnReadyStateChanged),
    NUBO::XMemberEnd(),
};
NUBO::XClassDescriptor DoneListener::Descriptor = {
    "DoneListener", 2, kListenerMembers, &NUBO::XObject::Descriptor, 0, {}};

// One GET through a fresh XMLHttpRequest, run on the message loop until state 4; the body's length
// in characters when `read` asks for the text, else its status. `seconds` gets the time from open
// to the end (and to the text read, when asked).
long Fetch(const std::u16string& url, bool read, double* seconds = nullptr) {
    auto start = std::chrono::steady_clock::now();
    NUBO::XObject* made = nullptr;
    if (CreateXXmlHttpRequest(&made) != 0) return -1;
    auto* request = static_cast<XXmlHttpRequest*>(made);
    auto* listener = new DoneListener();
    listener->AddRef();
    listener->request = request;
    NUBO::XVariant empty(u"");
    long result = -1;
    if (request->SetHandler(listener) == 0 && request->Open(u"GET", url.c_str()) == 0 && request->Send(empty) == 0 &&
        test::PumpUntil([&] { return listener->done; }, 60000)) {
        NUBO::XVariant value;
        if (read && request->GetResponseText(&value) == 0)
            result = value.vt == VT_BSTR ? long(SysStringLen(value.bstrVal)) : 0;
        else if (!read && request->GetStatus(&value) == 0)
            result = value.ToInt32();
        auto end = read ? std::chrono::steady_clock::now() : listener->at;
        if (seconds) *seconds = std::chrono::duration<double>(end - start).count();
    }
    request->Release();
    listener->Release();
    return result;
}

void BM_Download10MiB_XmlHttpRequest(benchmark::State& state) {
    std::u16string url = Wide(Service().Http("/big"));
    bool read = state.range(0) != 0;
    for (auto _ : state) {
        double seconds = 0;
        long result = Fetch(url, read, &seconds);
        state.SetIterationTime(seconds);
        if (result != (read ? long(kBigSize) : 200)) state.SkipWithError("the download went wrong");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBigSize));
    state.SetLabel(read ? "to state 4, then responseText" : "to state 4");
}
BENCHMARK(BM_Download10MiB_XmlHttpRequest)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

size_t AppendBody(char* data, size_t size, size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

// The peer: the body gathered into memory, as ours is, and with `read` widened to UTF-16 text the
// way responseText widens an ASCII body, byte for character.
void BM_Download10MiB_CurlEasy(benchmark::State& state) {
    const std::string url = Service().Http("/big");
    const bool read = state.range(0) != 0;
    std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
    std::string body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, AppendBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        body = std::string();
        long status = 0;
        size_t length = 0;
        if (curl_easy_perform(curl.get()) == CURLE_OK &&
            curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) {
            length = body.size();
            if (read && std::all_of(body.begin(), body.end(), [](char c) { return (unsigned char)c < 0x80; })) {
                std::u16string text(body.begin(), body.end());
                benchmark::DoNotOptimize(text.data());
                length = text.size();
            }
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (status != 200 || length != kBigSize) state.SkipWithError("curl did not fetch the body");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBigSize));
    state.SetLabel(read ? "to the body, then widened" : "to the body");
}
BENCHMARK(BM_Download10MiB_CurlEasy)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Each iteration is one small request on the kept-alive connection; 1,000 of them in a row.
void BM_SmallRequests_XmlHttpRequest(benchmark::State& state) {
    std::u16string url = Wide(Service().Http("/hello"));
    for (auto _ : state) {
        double seconds = 0;
        if (Fetch(url, false, &seconds) != 200) state.SkipWithError("a request failed");
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_SmallRequests_XmlHttpRequest)
    ->Iterations(bench_support::Iterations(1000))
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    NUBO::Initialize(nullptr);
    if (!Service().Ready()) {
        std::fprintf(stderr, "the test service did not start\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    NUBO::Shutdown();
    return 0;
}
