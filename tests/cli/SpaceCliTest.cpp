// ferrovane-cli space: one line per drive, and the same drives as JSON.
#include "CliProcess.h"
#include "TestVolume.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace fs = std::filesystem;

namespace {

// The JSON objects of the array, one per line as the command writes them.
std::vector<std::string> JsonObjects(const std::string& json) {
    std::vector<std::string> objects;
    const std::regex object(R"(\{[^{}]*\})");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), object);
         it != std::sregex_iterator(); ++it)
        objects.push_back(it->str());
    return objects;
}

} // namespace

TEST(SpaceCli, JsonHasEveryFieldForEveryDriveOfTheList) {
    std::string why;
    const auto volume = TestVolume::Tmpfs(4 * 1048576, false, &why); // null when not root
    // A mount point with a line break is still one line of the listing.
    TempDir dir;
    const std::string broken = dir / "line\nbreak";
    fs::create_directory(broken);
    const bool brokenMounted =
        volume && ::mount("tmpfs", broken.c_str(), "tmpfs", 0, "size=1m") == 0;

    const CliResult json = RunCli({"space", "--json"});
    const CliResult text = RunCli({"space"});
    if (brokenMounted)
        ::umount2(broken.c_str(), MNT_DETACH);
    ASSERT_EQ(json.status, 0) << json.err;
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(json.out.front(), '[');
    const auto objects = JsonObjects(json.out);
    EXPECT_EQ(objects.size(),
              static_cast<std::size_t>(std::count(text.out.begin(), text.out.end(), '\n')));
    const std::regex fields(
        R"(^\{"letter": ("[C-Z]"|null), "mountPoint": "/.*", "label": ".*", "device": ".*", )"
        R"("deviceNumber": "\d+:\d+", "mountId": \d+, )"
        R"("fileSystem": ".*", "freeBytes": \d+, "totalBytes": \d+, "freePercent": \d+, )"
        R"("usedBytes": \d+, "freeBytesForRoot": \d+, "usePercent": (\d+|null), )"
        R"("readOnly": (true|false), "kind": "[a-z]+"\}$)");
    for (const auto& object : objects)
        EXPECT_TRUE(std::regex_match(object, fields)) << object;

    if (!volume)
        GTEST_SKIP() << "figures of a volume of known size: " << why;
    EXPECT_TRUE(brokenMounted);
    EXPECT_NE(text.out.find(dir.Path() + "/line\\nbreak "), std::string::npos) << text.out;
    const std::string mount = "\"mountPoint\": \"" + volume->MountPoint() + "\"";
    const auto ours = std::find_if(objects.begin(), objects.end(), [&](const std::string& o) {
        return o.find(mount) != std::string::npos;
    });
    ASSERT_NE(ours, objects.end()) << json.out;
    EXPECT_NE(ours->find("\"totalBytes\": 4194304, \"freePercent\": 100"), std::string::npos)
        << *ours;
    // The text line: the mount point, the panel's figures and a full bar.
    const std::regex line(": +" + volume->MountPoint() +
                          R"( +0[.0]*GB of 0[.0]*GB free\. +\[#{20}\] 100%)");
    EXPECT_TRUE(std::regex_search(text.out, line)) << text.out;
}
