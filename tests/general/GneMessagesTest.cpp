// The message sink, the alert hook and the length-prefixed texts.
#include <cstring>
#include <thread>

#include "General/GeneralMac.h"
#include "support/TestEvents.h"

TEST(GneMessages, StderrWithoutHooksSinksWholeNestedAndFromManyThreads) {
    testing::internal::CaptureStderr();
    GneErrorMsg(kGneErrOpenFile);
    GneWriteErrorMsg("イベントのデータサイズが大きすぎます。");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "GeneralMac: ERR_GNE_OPEN_FILE\nイベントのデータサイズが大きすぎます。\n");

    // With a sink, every sink function reaches it whole.
    CaptureSink sink;
    const std::string long_text(400, 'x');  // beyond what a length byte can count
    GneErrorMsg(kGneErrPlayerBusy);
    GneWriteInformationMsg("information");
    EXPECT_EQ(GneWriteOptionMsg("option"), 1);
    GneWriteErrorMsg(long_text.c_str());
    MacUty::MacMessageBox("direct");
    EXPECT_EQ(sink.Alerts(), std::vector<std::string>{"GeneralMac: ERR_GNE_PLAYER_BUSY"});
    EXPECT_EQ(sink.Messages(),
              (std::vector<std::string>{"information", "option", long_text, "direct"}));
    GneMessageBox("Title", "Text");
    EXPECT_TRUE(sink.Saw("Title: Text"));
    CaptureSink outer;
    {
        CaptureSink inner;
        GneWriteErrorMsg("inner");
        EXPECT_TRUE(inner.Saw("inner"));
    }
    GneWriteErrorMsg("outer");
    EXPECT_EQ(outer.Messages(), std::vector<std::string>{"outer"});

    // A sink may report from inside itself.
    std::vector<std::string> seen;
    auto previous = GneSetMessageSink([&](std::string_view text) {
        seen.emplace_back(text);
        if (text == "first") GneWriteErrorMsg("nested");
    });
    GneWriteErrorMsg("first");
    GneSetMessageSink(previous);
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "nested"}));

    // Reports from several threads at once are all delivered.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 500; ++i) GneWriteErrorMsg("from a thread");
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(outer.Count("from a thread"), 2000);
}

TEST(MacUty, ToPascalKeepsAtMost255BytesAndNoTerminator) {
    char buffer[257];
    std::memset(buffer, 0x55, sizeof buffer);
    EXPECT_EQ(MacUty::toPascal(buffer, "abc"), buffer + 1);
    EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 3);
    EXPECT_EQ(buffer[4], 0x55);  // no terminating zero

    const std::string long_text(300, 'y');
    std::memset(buffer, 0x55, sizeof buffer);
    MacUty::toPascal(buffer, long_text.c_str());
    EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 255);
    EXPECT_EQ(std::string(buffer + 1, 255), std::string(255, 'y'));
    EXPECT_EQ(buffer[256], 0x55);  // the 257th byte is never written
}
