#pragma once
// The local HTTP and HTTPS service of data/test_service.py, started for a test and stopped with it:
// plain HTTP, HTTPS under a CA made for the run, HTTPS under a CA nobody trusts, and a login
// service whose answers the test sets and whose last request it reads back.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace test {

class TestService {
public:
#ifdef TEST_SERVICE_SCRIPT
    TestService() { Start(TEST_SERVICE_SCRIPT, {}); }
#endif
    // Another service script that prints its ports the same way and takes commands on its input:
    // started as `script options... --folder <scratch folder>`.
    TestService(const std::string& script, std::vector<std::string> options) {
        options.push_back("--folder");
        Start(script, options);
    }
    ~TestService() {
        if (toService_ >= 0) close(toService_); // the service ends with its input
        if (fromService_ >= 0) close(fromService_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    bool Ready() const { return http_ && https_ && untrusted_ && !caFile_.empty(); }
    bool HttpsReady() const { return https_ && !caFile_.empty(); }
    const std::string& CaFile() const { return caFile_; }
    std::string Http(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(http_) + path; }
    std::string Https(const std::string& path) const { return "https://127.0.0.1:" + std::to_string(https_) + path; }
    std::string Untrusted(const std::string& path) const {
        return "https://127.0.0.1:" + std::to_string(untrusted_) + path;
    }

    // One command line and the service's one-line reply.
    std::string Command(const std::string& line) {
        std::string text = line + "\n";
        for (size_t at = 0; at < text.size();) {
            ssize_t n = write(toService_, text.data() + at, text.size() - at);
            if (n <= 0) return {};
            at += size_t(n);
        }
        return ReadLine();
    }
    // What the login service answers from now on.
    void SetAnswer(int status, const std::string& body) {
        Command("answer " + std::to_string(status) + " " + Hex(body));
    }

    struct LoginRequest {
        std::string method, target, headers, body, signature;
        bool HasHeader(const std::string& line) const {
            return ("\n" + headers + "\n").find("\n" + line + "\n") != std::string::npos;
        }
    };
    // The last request the login service received; an empty method when there was none.
    LoginRequest LastLogin() {
        std::istringstream words(Command("last"));
        LoginRequest r;
        std::string target, headers, body;
        if (!(words >> r.method >> target >> headers >> body >> r.signature)) return {};
        r.target = Unhex(target);
        r.headers = Unhex(headers);
        r.body = Unhex(body);
        return r;
    }

    static std::string Hex(const std::string& bytes) {
        static const char* digits = "0123456789abcdef";
        std::string out;
        for (unsigned char c : bytes) {
            out += digits[c >> 4];
            out += digits[c & 15];
        }
        return out;
    }
    static std::string Unhex(const std::string& hex) {
        std::string out;
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
        return out;
    }

private:
    void Start(std::string script, std::vector<std::string> options) {
        signal(SIGPIPE, SIG_IGN); // a service that died fails the test's commands, not the test process
        char folder[] = "/tmp/tandu-service-XXXXXX";
        if (!mkdtemp(folder)) return;
        folder_ = folder;
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0) return;
        if (pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        options.insert(options.begin(), script);
        options.insert(options.begin(), "python3");
        options.push_back(folder_);
        std::vector<char*> argv;
        for (std::string& word : options)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        toService_ = in[1];
        fromService_ = out[0];
        std::istringstream words(ReadLine());
        std::string key;
        while (words >> key) {
            if (key == "http") words >> http_;
            if (key == "https") words >> https_;
            if (key == "untrusted") words >> untrusted_;
            if (key == "ca") words >> caFile_;
        }
    }

    std::string ReadLine() {
        std::string line;
        char c;
        while (fromService_ >= 0 && read(fromService_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    std::string folder_;
    pid_t pid_ = -1;
    int toService_ = -1;
    int fromService_ = -1;
    int http_ = 0;
    int https_ = 0;
    int untrusted_ = 0;
    std::string caFile_;
};

} // namespace test
