#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <utility>

#include "platform/platform.h"

namespace numtrail::test {

// Answers fetches from a script instead of the network. Each Answer or Fail queues the
// outcome of the next fetch, in order; its `during` runs inside that fetch, as the events
// that a real fetch's wait lets through would (a click, a timer tick, a nested fetch). With
// the queue empty, `otherwise` answers when it is set; else the fetch fails the test. Answers
// left unused fail the test when the double is destroyed.
class ScriptedFetcher final : public Fetcher {
  public:
    ~ScriptedFetcher() override { EXPECT_TRUE(steps_.empty()) << "scripted fetches left unused"; }

    void Answer(const QString& body, std::function<void()> during = {}) {
        steps_.push_back({{true, body, {}}, std::move(during)});
    }
    void Fail(const QString& reason, std::function<void()> during = {}) {
        steps_.push_back({{false, {}, reason}, std::move(during)});
    }
    std::function<FetchResult(const QString& url)> otherwise;
    QStringList urls;  // every URL asked for, in order

    FetchResult Fetch(const QString& url) override {
        urls << url;
        if (steps_.empty()) {
            if (otherwise) return otherwise(url);
            ADD_FAILURE() << "unexpected fetch: " << url.toStdString();
            return {false, {}, QStringLiteral("unexpected fetch")};
        }
        const auto [result, during] = std::move(steps_.front());
        steps_.pop_front();
        if (during) during();
        return result;
    }

  private:
    std::deque<std::pair<FetchResult, std::function<void()>>> steps_;
};

// An answer in the attribution service's format: JSON wrapped in a call of querycallback.
inline QString AttributionAnswer(const QString& number, const QString& province,
                                 const QString& city, const QString& area_code,
                                 const QString& postcode, const QString& card_type) {
    return QStringLiteral(
               "querycallback({\"Mobile\":\"%1\",\"QueryResult\":\"True\",\"TO\":\"%6\","
               "\"Province\":\"%2\",\"City\":\"%3\",\"AreaCode\":\"%4\",\"PostCode\":\"%5\"});")
        .arg(number, province, city, area_code, postcode, card_type);
}

}  // namespace numtrail::test
