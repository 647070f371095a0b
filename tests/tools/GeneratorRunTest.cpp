#include "GeneratorFixture.h"

using Generator::RunOutcome;

TEST_F(GeneratorTest, NormalRunFollowsTheTaskOrderAndBeepsAtTheEnd) {
    inputs.count = 2;
    inputs.size = 3000;
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_EQ(Names(), (std::vector<std::string>{"AutoGen1.Bin", "AutoGen2.Bin"}));
    EXPECT_EQ(SizeOf("AutoGen2.Bin"), 3000);
    ASSERT_GE(host.events.size(), 5u);
    EXPECT_EQ(host.events[0], "BeginTask");
    EXPECT_EQ(host.events[1], "ClearCancel");
    EXPECT_EQ(host.events[2], std::string("Status ") + Generator::kCreatingStatus);
    EXPECT_EQ(host.events[host.events.size() - 2], "EndTask");
    EXPECT_EQ(host.events.back(), "Beep");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(host.Status(), "Done in 0 sec");
    EXPECT_FALSE(host.busy);
    EXPECT_EQ(host.repaints, 1);       // the window once, at the start
    EXPECT_EQ(host.statusRepaints, 2); // only the status line after each file
    EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(GeneratorTest, OneByteFileIsOneBlockWithProgressZeroOfZero) {
    EXPECT_EQ(Run(), RunOutcome::Done);
    ASSERT_EQ(SizeOf("AutoGen1.Bin"), 1);
    EXPECT_NE(static_cast<unsigned char>(ReadAll(dir / "AutoGen1.Bin")[0]), 255u);
    EXPECT_EQ(host.statuses,
              (std::vector<std::string>{Generator::kCreatingStatus, "0 of 0", "Done in 0 sec"}));
}

TEST_F(GeneratorTest, ProgressHintUpTo1024KBOnly) {
    inputs.bufferKB = 1024;
    Run();
    EXPECT_EQ(host.statuses.at(1),
              "0 of 0MB. (Hint: Increase the buffer size to speed up the process)");
    host.statuses.clear();
    inputs.bufferKB = 1025;
    Run();
    EXPECT_EQ(host.statuses.at(1), "0 of 0");
}

TEST_F(GeneratorTest, RandomContentIsTheGeneratorsSequenceInBlocksOfTheBuffer) {
    inputs.size = 5 * MB / 2;
    inputs.bufferKB = 1025; // B = 1049600
    RecordSizesOf("AutoGen1.Bin");
    const std::string expected = RandomBytes(777, static_cast<std::size_t>(inputs.size));
    QuillTPU::SetRandSeed(777);
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_EQ(sizes, (std::vector<std::int64_t>{1049600, 2099200, 5 * MB / 2}));
    EXPECT_EQ(host.statuses, (std::vector<std::string>{Generator::kCreatingStatus, "1 of 2",
                                                       "2 of 2", "2 of 2", "Done in 0 sec"}));
    const std::string content = ReadAll(dir / "AutoGen1.Bin");
    EXPECT_TRUE(content == expected) << "content differs from single Random(255) calls";
    EXPECT_EQ(content.find('\xFF'), std::string::npos);
}

TEST_F(GeneratorTest, BufferSizeChangeTakesEffectAtTheNextBlock) {
    inputs.size = 4 * MB;
    inputs.bufferKB = 1024;
    RecordSizesOf("AutoGen1.Bin");
    auto record = host.onPump;
    host.onPump = [&] {
        record();
        if (sizes.size() == 1)
            inputs.bufferKB = 2048;
    };
    Run();
    EXPECT_EQ(sizes, (std::vector<std::int64_t>{MB, 3 * MB, 4 * MB}));
    // The hint follows the buffer size as it is when the line is written.
    EXPECT_EQ(host.statuses.at(1), "1 of 4");
    EXPECT_EQ(host.statuses.at(2), "3 of 4");
}

TEST_F(GeneratorTest, FillTextRepeatedToLength) {
    inputs.randomContent = false;
    struct Case {
        std::u16string text;
        std::int64_t size;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {u"ab", 5, "ababa"},
        {u"A", 4, "AAAA"},
        {u"\u0141", 3, "AAA"},                   // one character above 255: its low 8 bits
        {u"x\r\ny\u2041", 10, "x\r\nyAx\r\nyA"}, // a line break is CR LF
    };
    for (const auto& c : cases) {
        inputs.fillText = c.text;
        inputs.size = c.size;
        EXPECT_EQ(Run(), RunOutcome::Done);
        EXPECT_EQ(ReadAll(dir / "AutoGen1.Bin"), c.expected);
    }
}

TEST_F(GeneratorTest, TextBlocksHoldWholeCopiesWithoutSeam) {
    inputs.randomContent = false;
    inputs.fillText = u"abc";
    inputs.bufferKB = 1; // B = 1024, P = 1023
    inputs.size = 2048;
    RecordSizesOf("AutoGen1.Bin");
    Run();
    EXPECT_EQ(sizes, (std::vector<std::int64_t>{1023, 2046, 2048}));
    std::string expected;
    while (expected.size() < 2048)
        expected += "abc";
    expected.resize(2048);
    EXPECT_EQ(ReadAll(dir / "AutoGen1.Bin"), expected);
}

TEST_F(GeneratorTest, TextLongerThanTheBufferGoesWholeIntoEachBlock) {
    inputs.randomContent = false;
    inputs.fillText.clear();
    for (int i = 0; i < 1500; ++i)
        inputs.fillText += static_cast<char16_t>(u'a' + i % 26);
    inputs.bufferKB = 1;
    inputs.size = 4000;
    RecordSizesOf("AutoGen1.Bin");
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_EQ(sizes, (std::vector<std::int64_t>{1500, 3000, 4000}));
    const std::string content = ReadAll(dir / "AutoGen1.Bin");
    ASSERT_EQ(content.size(), 4000u);
    for (std::size_t k = 0; k < content.size(); ++k)
        ASSERT_EQ(content[k], static_cast<char>('a' + (k % 1500) % 26)) << k;
}

TEST_F(GeneratorTest, TextBlockFollowsTheBufferOnlyFromTheNextFile) {
    inputs.randomContent = false;
    inputs.fillText = u"ab";
    inputs.bufferKB = 1;
    inputs.size = 4096;
    inputs.count = 2;
    std::vector<std::int64_t> first, second;
    host.onPump = [&] {
        if (SizeOf("AutoGen2.Bin") >= 0)
            second.push_back(SizeOf("AutoGen2.Bin"));
        else if (SizeOf("AutoGen1.Bin") > 0)
            first.push_back(SizeOf("AutoGen1.Bin"));
        if (SizeOf("AutoGen1.Bin") > 0)
            inputs.bufferKB = 2;
    };
    Run();
    EXPECT_EQ(first, (std::vector<std::int64_t>{1024, 2048, 3072, 4096, 4096}));
    EXPECT_EQ(second, (std::vector<std::int64_t>{2048, 4096}));
}

TEST_F(GeneratorTest, UniqueTailAdds1024RandomBytesToEveryFile) {
    inputs.randomContent = false;
    inputs.fillText = u"ab";
    inputs.size = 10;
    inputs.count = 2;
    inputs.unique = true;
    QuillTPU::SetRandSeed(42);
    Run();
    const std::string one = ReadAll(dir / "AutoGen1.Bin");
    const std::string two = ReadAll(dir / "AutoGen2.Bin");
    ASSERT_EQ(one.size(), 1034u);
    ASSERT_EQ(two.size(), 1034u);
    EXPECT_EQ(one.substr(0, 10), "ababababab");
    EXPECT_EQ(one.substr(10), RandomBytes(42, 1024));
    EXPECT_NE(one.substr(10), two.substr(10));
}

TEST_F(GeneratorTest, PatternNamesCountUpAndMayBeEmpty) {
    inputs.count = 10;
    inputs.patternName.clear();
    Run();
    EXPECT_EQ(Names(), (std::vector<std::string>{"1.Bin", "10.Bin", "2.Bin", "3.Bin", "4.Bin",
                                                 "5.Bin", "6.Bin", "7.Bin", "8.Bin", "9.Bin"}));
    TempDir other;
    inputs.output = other.Path() + "/"; // a trailing delimiter is not doubled
    inputs.count = 1;
    inputs.patternName = "AutoGen";
    inputs.patternExtension.clear();
    Run();
    EXPECT_TRUE(std::filesystem::exists(other / "AutoGen1."));
}

TEST_F(GeneratorTest, PatternNameReplacesAnExistingFile) {
    dir.Write("AutoGen1.Bin", std::string(5000, 'x'));
    inputs.size = 10;
    Run();
    EXPECT_EQ(SizeOf("AutoGen1.Bin"), 10);
}

TEST_F(GeneratorTest, RandomNamesJoinCounterAndDrawWithoutSeparator) {
    inputs.randomName = true;
    inputs.randomContent = false; // no draws between the names
    inputs.count = 3;
    QuillTPU::SetRandSeed(2024);
    std::vector<std::string> expected;
    for (int i = 1; i <= 3; ++i)
        expected.push_back("Stackwell " + std::to_string(i) +
                           std::to_string(QuillTPU::Random(100000000)) + ".bin");
    std::sort(expected.begin(), expected.end());
    QuillTPU::SetRandSeed(2024);
    Run();
    EXPECT_EQ(Names(), expected);
}

TEST_F(GeneratorTest, RandomNameNeverReplacesAnExistingFile) {
    inputs.randomName = true;
    inputs.randomContent = false;
    inputs.size = 7;
    QuillTPU::SetRandSeed(99);
    const std::string taken = "Stackwell 1" + std::to_string(QuillTPU::Random(100000000)) + ".bin";
    const std::string next = "Stackwell 1" + std::to_string(QuillTPU::Random(100000000)) + ".bin";
    dir.Write(taken, "keep me");
    QuillTPU::SetRandSeed(99);
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_EQ(ReadAll(dir / taken), "keep me");
    EXPECT_EQ(SizeOf(next), 7);
}

TEST_F(GeneratorTest, OutputFolderIsReadAgainForEveryFile) {
    TempDir second;
    inputs.count = 2;
    host.onPump = [&] {
        if (SizeOf("AutoGen1.Bin") == 1)
            inputs.output = second.Path();
    };
    Run();
    EXPECT_EQ(Names(), (std::vector<std::string>{"AutoGen1.Bin"}));
    EXPECT_TRUE(std::filesystem::exists(second / "AutoGen2.Bin"));
}

TEST_F(GeneratorTest, TimeAfterEachFileCountsFromTheStartOfTheRun) {
    inputs.count = 3;
    clock = 0xFFFFFF00u; // the tick counter wraps during the run
    std::vector<std::uint32_t> ticks = {0xFFFFFF00u + 1234u, 0xFFFFFF00u + 2500u,
                                        0xFFFFFF00u + 4000u};
    std::size_t next = 0;
    host.onPump = [&] {
        // Each file's work has happened once its block is pumped.
        if (SizeOf("AutoGen" + std::to_string(next + 1) + ".Bin") == 1)
            clock = ticks[next++];
    };
    Run();
    std::vector<std::string> done;
    for (const auto& s : host.statuses)
        if (s.rfind("Done in ", 0) == 0)
            done.push_back(s);
    EXPECT_EQ(done,
              (std::vector<std::string>{"Done in 1.2 sec", "Done in 2.5 sec", "Done in 4 sec"}));
}

TEST_F(GeneratorTest, CancelDuringFileKLeavesEarlierFilesAndAShortOne) {
    inputs.count = 4;
    inputs.size = 3 * MB;
    inputs.bufferKB = 1024;
    host.cancel = true; // a stale flag from an earlier task must not stop this one
    host.onPump = [&] {
        if (SizeOf("AutoGen3.Bin") == 2 * MB)
            host.cancel = true;
    };
    EXPECT_EQ(Run(), RunOutcome::Canceled);
    EXPECT_EQ(Names(), (std::vector<std::string>{"AutoGen1.Bin", "AutoGen2.Bin", "AutoGen3.Bin"}));
    EXPECT_EQ(SizeOf("AutoGen1.Bin"), 3 * MB);
    EXPECT_EQ(SizeOf("AutoGen2.Bin"), 3 * MB);
    EXPECT_EQ(SizeOf("AutoGen3.Bin"), 2 * MB);
    EXPECT_EQ(host.events.back(), std::string("Status ") + Generator::kCanceledStatus);
    EXPECT_EQ(host.events[host.events.size() - 2], "EndTask");
    EXPECT_EQ(beeps, 0);
}

TEST_F(GeneratorTest, CancelInTheLastBlockOfTheLastFileStillCancels) {
    inputs.count = 2;
    inputs.size = 100;
    host.onPump = [&] {
        if (SizeOf("AutoGen2.Bin") == 100)
            host.cancel = true;
    };
    EXPECT_EQ(Run(), RunOutcome::Canceled);
    EXPECT_EQ(SizeOf("AutoGen2.Bin"), 100);
    EXPECT_EQ(host.Status(), Generator::kCanceledStatus);
    EXPECT_EQ(beeps, 0);
}

// A block that takes long keeps the window painting between its pieces, and
// only the status line's own pumping (between blocks) takes user input.
TEST_F(GeneratorTest, ALongBlockLetsTheWindowPaintBetweenItsPieces) {
    inputs.size = 4 * MB; // one block of 32 pieces
    Generator::GeneratorRun run(host, inputs);
    run.SetClock([this] { return clock += 60; }); // a slow volume
    run.SetBeep([] {});
    EXPECT_EQ(run.Execute(), Generator::RunOutcome::Done);
    EXPECT_GE(host.paintPumps, 10);
    EXPECT_EQ(host.pumps, 2); // before the file and after its one block

    RecordingTaskHost fast;
    Generator::GeneratorRun quick(fast, inputs);
    quick.SetClock([] { return 7u; });
    quick.SetBeep([] {});
    EXPECT_EQ(quick.Execute(), Generator::RunOutcome::Done);
    EXPECT_EQ(fast.paintPumps, 0);
}
