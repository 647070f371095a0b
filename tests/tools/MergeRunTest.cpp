// The merge run: what the output holds, the questions and warnings, and the
// failures that end a run (a file that cannot be opened, read or written,
// the output among its own sources, a full volume).
#include "tools/merge/MergeRun.h"
#include "../components/TestVolume.h"
#include "RecordingPresenter.h"
#include "RecordingTaskHost.h"
#include "TempDir.h"
#include "platform/Errors.h"
#include "tools/merge/NarrowText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using Merge::RunOutcome;

namespace {

struct TestInputs : Merge::IMergeInputs {
    std::vector<std::string> files;
    std::string folder;
    std::string output;
    std::string separator = Merge::kDefaultSeparator;
    // Called with the count of output-name reads so far, before each answer:
    // another program acting on the output between two files.
    std::function<void(int)> onOutputName;
    int outputReads = 0;

    std::vector<std::string> ListedFiles() override { return files; }
    std::string Folder() override { return folder; }
    std::string OutputName() override {
        if (onOutputName)
            onOutputName(++outputReads);
        return output;
    }
    std::string SeparatorText() override { return separator; }
};

std::string Pattern(std::size_t size, char seed) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>(seed + i * 7 + i / 251);
    return s;
}

class MergeRunTest : public ::testing::Test {
protected:
    MergeRunTest() {
        inputs.folder = dir.Path();
        inputs.output = out / "Merge Output File.txt";
    }

    // Writes the listed files into the folder, in list order.
    void List(const std::vector<std::pair<std::string, std::string>>& files) {
        for (const auto& [name, content] : files) {
            dir.Write(name, content);
            inputs.files.push_back(name);
        }
    }

    RunOutcome Run() {
        Merge::MergeRun run(host, inputs);
        run.SetClock([this, now = 0u]() mutable { return now += clockStep; });
        run.SetStopCheck(stop);
        run.SetCodeset(codeset);
        return run.Execute();
    }

    // Runs and returns the error's text ("" when none was raised).
    template <typename Error> std::string RunExpecting() {
        try {
            Run();
        } catch (const Error& e) {
            return e.what();
        }
        ADD_FAILURE() << "no error raised";
        return {};
    }

    TempDir dir; // the listed folder
    TempDir out; // the output's folder
    TestInputs inputs;
    RecordingTaskHost host;
    RecordingPresenter presenter;
    std::string codeset = "UTF-8";
    std::uint32_t clockStep = 0; // milliseconds per clock reading
    Merge::StopCheck stop;
};

} // namespace

TEST_F(MergeRunTest, EachFileInListOrderFollowedByTheSeparator) {
    // Sizes around the 61,440-byte block, empty and above 1 MB, in an order
    // that is not the names' order.
    const std::vector<std::string> content = {Pattern(61441, 'a'), "", Pattern(1 << 20 | 7, 'b'),
                                              Pattern(61440, 'c'), "tail"};
    List({{"e.txt", content[0]},
          {"a.txt", content[1]},
          {"d.bin", content[2]},
          {"c.txt", content[3]},
          {"b.txt", content[4]}});
    struct Case {
        std::string typed;
        std::string written;
    };
    const std::vector<Case> cases = {
        {Merge::kDefaultSeparator, Merge::kDefaultSeparator}, // 23 bytes
        {"", ""},
        {"---", "---"},
        {"one\ntwo\r\nthree\n", "one\r\ntwo\r\nthree\r\n"},
    };
    for (const auto& c : cases) {
        inputs.separator = c.typed;
        presenter.answer = false; // from the second round on: empty the output
        EXPECT_EQ(Run(), RunOutcome::Done);
        std::string expected;
        for (const auto& part : content)
            expected += part + c.written;
        const std::string merged = ReadAll(inputs.output);
        EXPECT_EQ(merged.size(), expected.size()) << "separator \"" << c.typed << "\"";
        EXPECT_TRUE(merged == expected) << "separator \"" << c.typed << "\"";
    }
    EXPECT_EQ(host.statuses.size(), 4u * 5u);
    EXPECT_EQ(std::vector<std::string>(host.statuses.begin(), host.statuses.begin() + 5),
              (std::vector<std::string>{"File 0 of 4", "File 1 of 4", "File 2 of 4", "File 3 of 4",
                                        "File 4 of 4"}));
    // The run never begins a task: no Cancel, no busy cursor, no pumping.
    EXPECT_EQ(host.events.size(), host.statuses.size());
    EXPECT_EQ(host.pumps, 0);
    EXPECT_TRUE(presenter.shown.empty()) << "no message at the end";
}

TEST_F(MergeRunTest, SingleFileShowsFileZeroOfZero) {
    List({{"only.txt", "x"}});
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_EQ(host.statuses, (std::vector<std::string>{"File 0 of 0"}));
    EXPECT_EQ(host.statusRepaints, 1);
    EXPECT_EQ(ReadAll(inputs.output), std::string("x") + Merge::kDefaultSeparator);
}

TEST_F(MergeRunTest, ExistingOutputYesAppendsNoEmpties) {
    List({{"a.txt", "AAA"}});
    for (const bool yes : {true, false}) {
        out.Write("Merge Output File.txt", "old content");
        presenter.questions.clear();
        presenter.answer = yes;
        inputs.separator = "|";
        EXPECT_EQ(Run(), RunOutcome::Done);
        EXPECT_EQ(presenter.questions,
                  (std::vector<std::string>{"Confirm|The output file already exists.\r\nDo you "
                                            "want to merge the files to it?"}));
        EXPECT_EQ(ReadAll(inputs.output), yes ? "old contentAAA|" : "AAA|");
    }
}

TEST_F(MergeRunTest, NoListedFileWarnsAndTouchesNothing) {
    for (const bool outputExists : {false, true}) {
        if (outputExists)
            out.Write("Merge Output File.txt", "keep");
        EXPECT_EQ(Run(), RunOutcome::Declined);
        ASSERT_EQ(presenter.shown.size(), 1u);
        EXPECT_EQ(presenter.shown[0].kind, QuillTPU::MessageKind::Warning);
        EXPECT_EQ(presenter.shown[0].text, "You need at least one file!");
        presenter.shown.clear();
        EXPECT_EQ(std::filesystem::exists(inputs.output), outputExists);
        if (outputExists) {
            EXPECT_EQ(ReadAll(inputs.output), "keep");
        }
    }
    EXPECT_TRUE(presenter.questions.empty());
    EXPECT_TRUE(host.statuses.empty());
}

TEST_F(MergeRunTest, SeparatorInTheNarrowCharacterSet) {
    struct Case {
        std::string codeset;
        std::string typed;
        std::string written;
    };
    const std::vector<Case> cases = {
        // U+00E9 fits Latin-1, the euro sign does not; one "?" per character.
        {"ISO-8859-1", "\xC3\xA9\xE2\x82\xAC\n", "\xE9?\r\n"},
        {"ANSI_X3.4-1968",
         "a\xC3\xA9"
         "b\xF0\x9F\x98\x80",
         "a?b?"},
        {"UTF-8", "\xC3\xA9\xE2\x82\xAC", "\xC3\xA9\xE2\x82\xAC"},
        {"no such set", "x\xC3\xA9", "x?"},
        {"UTF-8",
         "a\xFF"
         "b",
         "a?b"}, // a malformed byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(Merge::ToNarrow(Merge::JoinLinesCrLf(c.typed), c.codeset), c.written)
            << c.codeset;
    // And through the run.
    List({{"a.txt", "A"}, {"b.txt", "B"}});
    codeset = "ISO-8859-1";
    inputs.separator = "\xE2\x82\xAC-\xC3\xA9";
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_EQ(ReadAll(inputs.output), "A?-\xE9"
                                      "B?-\xE9");
}

TEST_F(MergeRunTest, OutputAmongItsSourcesIsLeftOutOrKept) {
    // The output listed under its own name (a second merge into the folder
    // it merges), through a link, and through a hard link. Yes: it is never
    // copied into itself, gets no separator, the files after it are merged
    // too, and the status line names it. No: emptying it would erase a
    // listed file, so nothing is touched and a message names it.
    inputs.separator = "|";
    for (const bool yes : {true, false}) {
        for (const std::string how : {"itself", "link", "hard link"}) {
            SCOPED_TRACE(how + (yes ? " Yes" : " No"));
            inputs.files.clear();
            presenter.shown.clear();
            inputs.output = dir / "Merge Output File.txt";
            dir.Write("Merge Output File.txt", "old|");
            std::filesystem::remove(dir / "alias.txt");
            if (how == "link")
                std::filesystem::create_symlink(inputs.output, dir / "alias.txt");
            if (how == "hard link")
                std::filesystem::create_hard_link(inputs.output, dir / "alias.txt");
            const std::string listed = how == "itself" ? "Merge Output File.txt" : "alias.txt";
            List({{"1.txt", "one"}});
            inputs.files.push_back(listed);
            List({{"3.txt", "three"}});
            presenter.answer = yes;
            EXPECT_EQ(Run(), yes ? RunOutcome::Done : RunOutcome::Declined);
            EXPECT_EQ(ReadAll(inputs.output), yes ? "old|one|three|" : "old|");
            if (yes) {
                EXPECT_EQ(host.Status(), "Not merged, being the output file: \"" + listed + "\"");
                EXPECT_TRUE(presenter.shown.empty());
            } else {
                ASSERT_EQ(presenter.shown.size(), 1u);
                EXPECT_EQ(presenter.shown[0].text,
                          "The output file is one of the files to merge:\r\n" + inputs.output +
                              "\r\nIt was not emptied, and nothing was merged.");
            }
        }
    }
}

TEST_F(MergeRunTest, OutputChangedBetweenFilesIsFollowedByItsName) {
    // The output stays open from file to file, yet what another program does
    // to it meanwhile comes out as if it were opened afresh for every file.
    List({{"a.txt", "A"}, {"b.txt", "B"}});
    inputs.separator = "|";
    const std::string moved = out / "moved.txt";
    struct Case {
        const char* what;
        std::function<void()> act;
        std::string output; // "" when the run ends with the open error
        std::string movedContent;
    };
    const std::vector<Case> cases = {
        {"appended to", [&] { std::ofstream(inputs.output, std::ios::app) << "X"; }, "A|XB|", ""},
        {"moved away", [&] { std::filesystem::rename(inputs.output, moved); }, "", "A|"},
        {"replaced",
         [&] {
             std::filesystem::rename(inputs.output, moved);
             out.Write("Merge Output File.txt", "N");
         },
         "NB|", "A|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(inputs.output);
        std::filesystem::remove(moved);
        inputs.outputReads = 0;
        // The name is looked up again as often as the status line is painted.
        clockStep = 50;
        // Reads: 1 at the start, then the content and the separator of each file.
        inputs.onOutputName = [&](int read) {
            if (read == 4)
                c.act();
        };
        if (c.output.empty()) {
            EXPECT_EQ(RunExpecting<FileOpenError>(),
                      "Cannot open file \"" + inputs.output + "\". No such file or directory");
        } else {
            EXPECT_EQ(Run(), RunOutcome::Done);
            EXPECT_EQ(ReadAll(inputs.output), c.output);
        }
        EXPECT_EQ(ReadAll(moved), c.movedContent);
    }
}

TEST_F(MergeRunTest, FilesThatCannotBeOpenedOrReadEndTheRun) {
    List({{"a.txt", "A"}, {"gone.txt", "G"}, {"c.txt", "C"}});
    inputs.separator = "|";
    std::filesystem::remove(dir / "gone.txt");
    EXPECT_EQ(RunExpecting<FileOpenError>(),
              "Cannot open file \"" + (dir / "gone.txt") + "\". No such file or directory");
    EXPECT_EQ(ReadAll(inputs.output), "A|");

    // A name that leads to a device by the time it is merged (listed as a
    // file): it would fill the volume with zeros.
    std::filesystem::create_symlink("/dev/zero", dir / "gone.txt");
    EXPECT_EQ(RunExpecting<FileOpenError>(),
              "Cannot open file \"" + (dir / "gone.txt") + "\". It is not a regular file.");
    EXPECT_EQ(ReadAll(inputs.output), "A|");

    // A file that opens but fails on its first read: the kernel copy gives up,
    // the blocks meet the failure and name it.
    std::filesystem::remove(dir / "gone.txt");
    std::filesystem::create_symlink("/proc/self/mem", dir / "gone.txt");
    EXPECT_EQ(RunExpecting<StreamReadError>(), "Stream read error\r\nCannot read file \"" +
                                                   (dir / "gone.txt") + "\". Input/output error");
    EXPECT_EQ(ReadAll(inputs.output), "A|");

    // An output that cannot be created says so, with the reason, before
    // anything is merged.
    inputs.output = out / "no such folder/out.txt";
    EXPECT_EQ(RunExpecting<FileCreateError>(),
              "Cannot create file \"" + inputs.output + "\". No such file or directory");
    EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(MergeRunTest, FullVolumeDuringAFileOrASeparatorEndsTheRun) {
    // A 64 KB volume. The sources lie beside it (copied in blocks) or on it
    // (copied by the kernel), the output on it.
    struct Case {
        const char* what;
        bool sourcesOnVolume;
        std::size_t firstSize;
        std::string separator;
        std::size_t outputSize; // what stays in the output
    };
    const std::vector<Case> cases = {
        {"file, blocks", false, 100000, "", 65536},
        {"separator, blocks", false, 65536, "sep", 65536},
        {"file, kernel", true, 40960, "", 24576},
        {"separator, kernel", true, 32768, "sep", 32768},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string why;
        const auto volume = TestVolume::Tmpfs(65536, false, &why);
        if (!volume)
            GTEST_SKIP() << why;
        inputs.files.clear();
        inputs.folder = c.sourcesOnVolume ? volume->MountPoint() : dir.Path();
        inputs.output = volume->MountPoint() + "/out.txt";
        inputs.separator = c.separator;
        const std::string first = Pattern(c.firstSize, 'f');
        const std::string folder = inputs.folder + "/";
        std::ofstream(folder + "first.bin", std::ios::binary) << first;
        std::ofstream(folder + "second.bin", std::ios::binary) << ""; // takes no room
        inputs.files = {"first.bin", "second.bin"};
        EXPECT_EQ(RunExpecting<StreamWriteError>(), "Stream write error\r\nCannot write file \"" +
                                                        inputs.output +
                                                        "\". No space left on device");
        const std::string merged = ReadAll(inputs.output);
        EXPECT_EQ(merged.size(), c.outputSize);
        EXPECT_TRUE(merged == first.substr(0, c.outputSize)) << "output is not the file's start";
        EXPECT_EQ(host.Status(), "File 0 of 1") << "the second file was started";
    }
}

TEST_F(MergeRunTest, StopIsSeenWithinALargeFile) {
    // A stop asked for during a large file ends its copy after the current
    // 64 MB piece, not at its end. (Sparse: it takes no room to make.)
    const std::int64_t piece = std::int64_t{64} << 20;
    dir.Write("small.txt", "s");
    std::ofstream(dir / "large.bin").close();
    std::filesystem::resize_file(dir / "large.bin", 2 * piece + 1);
    inputs.files = {"small.txt", "large.bin", "small.txt"};
    inputs.separator = "|";
    int checks = 0;
    // Before the first file, before the second, then between pieces.
    stop = [&] { return ++checks == 3; };
    EXPECT_EQ(Run(), RunOutcome::Canceled);
    EXPECT_EQ(checks, 3);
    EXPECT_EQ(std::filesystem::file_size(inputs.output), static_cast<std::uintmax_t>(2 + piece));
}
