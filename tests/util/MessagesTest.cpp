#include "RecordingPresenter.h"
#include "util/QuillTPU.h"

#include <gtest/gtest.h>

using namespace QuillTPU;

TEST(MessageBoxes, EmptyTextShowsNothing) {
    RecordingPresenter presenter;
    ShowPlainMessage("");
    ShowWarningMessage("");
    ShowErrorMessage("");
    EXPECT_TRUE(presenter.shown.empty());
}

TEST(MessageBoxes, CaptionKindAndCrlfToken) {
    RecordingPresenter presenter;
    SetApplicationTitle("Ferrovane [by Quillmark]");
    ShowPlainMessage("first CRLF second");
    ShowWarningMessage("careful");
    ShowErrorMessage("brokenCRLFagain");
    ASSERT_EQ(presenter.shown.size(), 3u);
    EXPECT_EQ(presenter.shown[0].kind, MessageKind::Plain);
    EXPECT_EQ(presenter.shown[0].caption, "Ferrovane [by Quillmark]");
    EXPECT_EQ(presenter.shown[0].text, "first \r\nsecond");
    EXPECT_EQ(presenter.shown[1].kind, MessageKind::Warning);
    EXPECT_EQ(presenter.shown[1].caption, "Warning");
    EXPECT_EQ(presenter.shown[2].kind, MessageKind::Error);
    EXPECT_EQ(presenter.shown[2].caption, "Error");
    EXPECT_EQ(presenter.shown[2].text, "broken\r\nagain");
}

TEST(ErrorReport, ShownEvenForEmptyTextWithFixedTail) {
    RecordingPresenter presenter;
    ShowErrorReport("TFindFile.DeleteTree", "");
    ShowErrorReport("X", "boomCRLFline");
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_TRUE(presenter.shown[0].report);
    EXPECT_EQ(presenter.shown[0].caption, "Error in TFindFile.DeleteTree");
    EXPECT_EQ(presenter.shown[0].text,
              "\r\n\r\nPlease report this error to us and the exact steps to reproduce it and we "
              "will fix it.\r\nHint: press Control+C to copy this message to clipboard.");
    EXPECT_EQ(presenter.shown[1].text.rfind("boom\r\nline\r\n\r\nPlease report", 0), 0u);
}

TEST(Shell, OpenDocumentGoesThroughTheInstalledShell) {
    {
        RecordingShell shell;
        EXPECT_TRUE(OpenDocument("https://quillmark.example/support"));
        shell.openResult = false;
        EXPECT_FALSE(OpenDocument("nowhere", "-x"));
        EXPECT_EQ(shell.opened,
                  (std::vector<std::string>{"https://quillmark.example/support|", "nowhere|-x"}));
    }
    // Without a shell nothing opens, and nothing fails.
    EXPECT_FALSE(OpenDocument("https://quillmark.example/"));
}

// The start-up status names each tool once, in the order the sweep found
// them, and counts the files of all.
TEST(LeftoverStatus, NamesEachToolOnceAndCountsAllFiles) {
    using Removed = Platform::RemovedLeftovers;
    const struct {
        std::vector<Removed> removed;
        std::string status;
    } cases[] = {
        {{}, ""},
        {{Removed{"/a/wp_binary/", "wipe", "wipe", 1, 100}},
         "Removed 1 file (100 Bytes) left by an interrupted wipe"},
        {{Removed{"/a/w/", "wipe", "wipe", 0, 0, true},
          Removed{"/b/w/", "wipe", "wipe", 0, 0, true}},
         "Removed the empty work folder of an interrupted wipe"},
        {{Removed{"/a/w/", "w", "wipe", 2, 5}, Removed{"/a/s/", "s", "speed test", 1, 3},
          Removed{"/b/w/", "w", "wipe", 1, 1}, Removed{"/a/f/", "f", "full test", 1, 1}},
         "Removed 5 files (10 Bytes) left by an interrupted wipe, speed test and full test"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QuillTPU::LeftoverStatus(c.removed), c.status);
}
