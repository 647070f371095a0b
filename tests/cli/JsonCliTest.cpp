// ferrovane-cli --json: every command's result and every kind of failure
// is one valid JSON document on stdout, read back by a strict parser.
#include "CliProcess.h"
#include "TestVolume.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Evaluates Python expressions over the parsed document d, one process
// for all, and returns each as JSON; every one is "INVALID" when the text is
// no strict JSON (NaN, a repeated key or trailing text refused too).
std::vector<std::string> JsonEval(const std::string& json,
                                  const std::vector<std::string>& expressions) {
    TempDir dir;
    const std::string path = dir.Write("doc.json", json);
    std::string list;
    for (const auto& expression : expressions)
        list += expression + "\n";
    const std::string listPath = dir.Write("expressions", list);
    const std::string scriptPath =
        dir.Write("check.py", "import json,sys\n"
                              "def pairs(p):\n"
                              "    keys=[k for k,_ in p]\n"
                              "    assert len(keys)==len(set(keys))\n"
                              "    return dict(p)\n"
                              "def bad(c): raise ValueError(c)\n"
                              "lines=open(sys.argv[2]).read().splitlines()\n"
                              "try:\n"
                              "    d=json.loads(open(sys.argv[1],encoding='utf-8')"
                              ".read(),object_pairs_hook=pairs,parse_constant=bad)\n"
                              "except Exception:\n"
                              "    for l in lines: print('INVALID')\n"
                              "    sys.exit(0)\n"
                              "for l in lines: print(json.dumps(eval(l)))\n");
    const std::string command =
        "python3 '" + scriptPath + "' '" + path + "' '" + listPath + "' 2>&1";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            output.append(buffer, n);
        ::pclose(pipe);
    }
    std::vector<std::string> results;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1)
        results.push_back(output.substr(start, end - start));
    results.resize(expressions.size(), "(no answer) " + output);
    return results;
}

} // namespace

TEST(JsonCli, EveryCommandsResultIsJsonWithItsFields) {
    TempDir dir;
    dir.Write("in/b.txt", "two");
    dir.Write("in/A.txt", "one");
    dir.Write("in/c.log", "three");
    dir.Write("in/.h.txt", "hidden");
    fs::create_directories(dir / "in/sub");
    std::string why;
    const auto volume = TestVolume::Tmpfs(4 * 1048576, false, &why);
    const std::string point = volume ? volume->MountPoint() : "";
    // 257 pages in use of 1024: df's Use% rounds 25.1 up to 26.
    if (volume)
        std::ofstream(point + "/mine", std::ios::binary) << std::string(1052672, 'x');
    struct Case {
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> expect; // expression, its JSON
        bool needsVolume = false;
    };
    const std::vector<Case> cases = {
        {{"generate", "--count", "2", "--size", "1K", "--name", "a", "--ext", "x", "--json",
          dir / "gen"},
         {{"d['files']", R"(["a1.x", "a2.x"])"},
          {"d['bytes']", "2048"},
          {"d['folder']", '"' + dir / "gen" + '"'},
          {"d['seconds'] >= 0", "true"}}},
        {{"generate", "--count", "3", "--size", "1K", "--json", dir / "rnd"},
         {{"len(d['files'])", "3"},
          {"all(n.startswith('Stackwell ') and n.endswith('.bin') for n in d['files'])", "true"}}},
        {{"merge", "--mask", "*.txt", "--separator", "|", "--json", dir / "in", dir / "out"},
         {{"d['files']", R"(["A.txt", "b.txt"])"},
          {"d['bytes']", "8"},
          {"sorted((e['name'], e['reason']) for e in d['leftOut'])",
           R"([[".h.txt", "hidden"], ["c.log", "does not match the mask"], )"
           R"(["sub", "a folder"]])"}}},
        {{"space", "--json"},
         {{"all(set(e) >= {'letter', 'mountPoint', 'freeBytes', 'totalBytes', 'freePercent', "
           "'usedBytes', 'freeBytesForRoot', 'usePercent', 'readOnly', 'kind'} for e in d)",
           "true"},
          {"all(e['kind'] in ('fixed','removable','network','cdrom','ram','unknown') for e in d)",
           "true"}}},
        {{"space", "--json"},
         {{"[(e['kind'], e['readOnly'], e['usedBytes'], e['usePercent']) for e in d "
           "if e['mountPoint'] == '" +
               point + "']",
           R"([["ram", false, 1052672, 26]])"}},
         true},
        {{"speed", "--size", "1MB", "--json", point},
         {{"(d['writeBytes'], d['readBytes'])", "[1048576, 1048576]"},
          {"all(isinstance(d[k + 'LowerBound'], bool) and "
           "(d[k + 'Milliseconds'] == 0) == d[k + 'LowerBound'] for k in ('write', 'read'))",
           "true"},
          {"d['mountPoint']", '"' + point + '"'}},
         true},
        {{"wipe", "--passes", "2", "--buffer", "1MB", "--json", point},
         {{"d['bytesPerPass']", "[3141632, 3141632]"},
          {"(d['passes'], d['volume'])", "[2, \"" + point + "\"]"}},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[c.args.size() - 1]);
        if (c.needsVolume && !volume) {
            std::printf("skipped (%s): %s\n", why.c_str(), c.args[0].c_str());
            continue;
        }
        const CliResult result = RunCli(c.args);
        ASSERT_EQ(result.status, 0) << result.err;
        std::vector<std::string> expressions;
        for (const auto& [expression, value] : c.expect)
            expressions.push_back(expression);
        const auto values = JsonEval(result.out, expressions);
        for (std::size_t i = 0; i < values.size(); ++i)
            EXPECT_EQ(values[i], c.expect[i].second) << expressions[i] << "\n" << result.out;
    }
}

TEST(JsonCli, EveryFailureIsOneObjectWithTheErrorAndTheExitStatus) {
    TempDir dir;
    dir.Write("in/a.txt", "one");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string named; // in the error's text
    };
    const std::vector<Case> cases = {
        {{"generate", "--json", "--count", "0", dir / "g"}, 2, "--count"},
        {{"generate", "--json", "--text-file", dir / "missing", dir / "g"}, 1, "missing"},
        {{"speed", "--json", dir / "missing"}, 1, "does not exist"},
        {{"wipe", "--json", "--passes", "17", dir.Path()}, 2, "--passes"},
        {{"wipe", "--json", dir / "missing"}, 1, "does not exist"},
        {{"space", "--json", "extra"}, 2, "extra"},
        {{"merge", "--json", dir / "missing", dir / "out"}, 1, "does not exist"},
        {{"merge", "--json", dir / "in", "-"}, 2, "standard output"},
        {{"merge", "--json", "--mask", "*.none", dir / "in", dir / "out"}, 1, "at least one file"},
        {{"frobnicate", "--json"}, 2, "frobnicate"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const CliResult result = RunCli(c.args);
        EXPECT_EQ(result.status, c.status) << result.err;
        const auto values =
            JsonEval(result.out, {"d['exitStatus']", "'" + c.named + "' in d['error']"});
        EXPECT_EQ(values[0], std::to_string(c.status)) << result.out;
        EXPECT_EQ(values[1], "true") << result.out;
        EXPECT_FALSE(fs::exists(dir / "g"));
    }
}
