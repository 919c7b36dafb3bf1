#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace numtrail::test {

// An online attribution service standing in for the real one, on 127.0.0.1 with a port the
// system picks. Unlike StandInServer it answers on threads of its own: the code under test
// blocks its caller while it asks, and the service asks from its own threads, so no event
// loop of the test's would be turning. Qt-free, like the service.
class StandInUpstream {
  public:
    struct Reply {
        int status = 200;
        std::string content_type = "text/javascript; charset=utf-8";
        std::string body;
        std::chrono::milliseconds delay{0};  // before the answer starts
        bool reset = false;  // sends the headers and half the body, then drops the connection
        std::string location = {};  // a Location header, for a redirect
    };
    // Answers a request for the number in its "m" parameter.
    using Handler = std::function<Reply(const std::string& number)>;

    struct Request {
        std::string target;  // path and query, as sent
        std::chrono::steady_clock::time_point at;
    };

    explicit StandInUpstream(Handler handler) : handler_(std::move(handler)) {
        server_.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            Handle(req, res);
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::yield();
    }
    ~StandInUpstream() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        woken_.notify_all();
        server_.stop();
        thread_.join();
    }

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/query"; }
    // Ends the delays of the answers waiting now, as if they were over.
    void EndDelays() {
        {
            std::lock_guard lock(mutex_);
            ++delays_ended_;
        }
        woken_.notify_all();
    }
    void SetHandler(Handler handler) {
        std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
    }
    std::vector<Request> Requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    // An answer in the callback format, fields in the order the real service sends them.
    static Reply Attribution(const std::string& number, const std::string& province,
                             const std::string& city, const std::string& area_code,
                             const std::string& postcode, const std::string& card_type) {
        Reply reply;
        reply.body = "querycallback({\"Mobile\":\"" + number +
                     "\",\"QueryResult\":\"True\",\"TO\":\"" + card_type + "\",\"Province\":\"" +
                     province + "\",\"City\":\"" + city + "\",\"AreaCode\":\"" + area_code +
                     "\",\"PostCode\":\"" + postcode + "\"});";
        return reply;
    }
    static Reply Refusal() {
        return {503, "text/html", "<html><title>Runtime Error</title></html>", {}, false};
    }

  private:
    void Handle(const httplib::Request& req, httplib::Response& res) {
        Reply reply;
        {
            std::unique_lock lock(mutex_);
            requests_.push_back({req.target, std::chrono::steady_clock::now()});
            reply = handler_(req.get_param_value("m"));
            // A delay that ends early when the stand-in goes, so that no test waits it out.
            const int ended = delays_ended_;
            woken_.wait_for(lock, reply.delay,
                            [this, ended] { return stopping_ || delays_ended_ != ended; });
        }
        res.status = reply.status;
        if (!reply.location.empty()) res.set_header("Location", reply.location);
        if (!reply.reset) {
            res.set_content(reply.body, reply.content_type.c_str());
            return;
        }
        const std::string half = reply.body.substr(0, reply.body.size() / 2);
        res.set_content_provider(reply.body.size(), reply.content_type.c_str(),
                                 [half](std::size_t, std::size_t, httplib::DataSink& sink) {
                                     sink.write(half.data(), half.size());
                                     return false;
                                 });
    }

    mutable std::mutex mutex_;
    std::condition_variable woken_;
    bool stopping_ = false;
    int delays_ended_ = 0;
    Handler handler_;
    std::vector<Request> requests_;
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace numtrail::test
