#include "support/scripted_fetcher.h"

#include <gtest/gtest.h>

namespace numtrail::test {

ScriptedFetcher::~ScriptedFetcher() {
    EXPECT_TRUE(steps_.empty()) << steps_.size() << " scripted fetch(es) left unused";
}

void ScriptedFetcher::Answer(const QString& body, std::function<void()> during) {
    steps_.push_back({{true, body, {}}, std::move(during)});
}

void ScriptedFetcher::Fail(const QString& reason, std::function<void()> during) {
    steps_.push_back({{false, {}, reason}, std::move(during)});
}

FetchResult ScriptedFetcher::Fetch(const QString& url) {
    urls_ << url;
    if (steps_.empty()) {
        if (otherwise) return otherwise(url);
        ADD_FAILURE() << "unexpected fetch: " << url.toStdString();
        return {false, {}, QStringLiteral("unexpected fetch")};
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    if (step.during) step.during();
    return step.result;
}

QString AttributionAnswer(const QString& number, const QString& province, const QString& city,
                          const QString& area_code, const QString& postcode,
                          const QString& card_type) {
    return QStringLiteral(
               "querycallback({\"Mobile\":\"%1\",\"QueryResult\":\"True\","
               "\"TO\":\"%6\",\"Province\":\"%2\",\"City\":\"%3\","
               "\"AreaCode\":\"%4\",\"PostCode\":\"%5\"});")
        .arg(number, province, city, area_code, postcode, card_type);
}

}  // namespace numtrail::test
