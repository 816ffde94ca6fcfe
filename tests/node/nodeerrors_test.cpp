// The node's failures give their code of the catalogue with the values in the order of the
// template's placeholders, and the sentence as before.

#include "node/nodeconfig.h"
#include "node/pull.h"
#include "node/storesender.h"
#include "node/thicknessdefaults.h"
#include "errorcases.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace tamso::node {
namespace {

PullQuery dates(const std::string& from, const std::string& to) {
    PullQuery q;
    q.fromDate = from;
    q.toDate = to;
    return q;
}

TEST(NodeErrors, FailuresGiveTheirCodeWithTheValuesInOrder) {
    const test::ErrorCase cases[] = {
        {"number setting",
         [] {
             return readNodeConfig({"--workdir", "/tmp", "--port", "104", "--idle-timeout", "0"}).status();
         },
         ErrorCode::ConfigNumberOutOfRange,
         {"--idle-timeout", "1", "3600", "0"},
         "--idle-timeout: expected a whole number from 1 to 3600: 0"},
        {"port setting",
         [] {
             return readNodeConfig({"--workdir", "/tmp", "--port", "70000"}).status();
         },
         ErrorCode::ConfigPortBad,
         {"--port", "70000"},
         "--port: not a port number (1-65535): 70000"},
        {"destination",
         [] { return parseDestination("PACS@host").status(); },
         ErrorCode::DestinationNoPort,
         {"PACS@host"},
         "送信先「PACS@host」は AET@HOST:PORT の形ではありません（ポート番号がありません）。"},
        {"forwarding",
         [] {
             return readNodeConfig({"--workdir", "/tmp", "--port", "104", "--forward", "X"}).status();
         },
         ErrorCode::SettingProblem,
         {"--forward", "送信先「X」は AET@HOST:PORT の形ではありません（@ がありません）。"},
         "--forward: 送信先「X」は AET@HOST:PORT の形ではありません（@ がありません）。"},
        {"date range",
         [] { return studyDateRange(dates("20260301", "20260201")).status(); },
         ErrorCode::PullDatesReversed,
         {"20260301", "20260201"},
         "期間の始め（20260301）が終わり（20260201）より後です。"},
        {"thickness",
         [] { return ThicknessDefaults::fromText("胸部,abc\r\n").status(); },
         ErrorCode::ThicknessDefaultBad,
         {"1", "abc"},
         "1 行目の被写体厚「abc」は 0 より大きい数ではありません。"},
    };
    test::expectErrorCases(cases);
}

} // namespace
} // namespace tamso::node
