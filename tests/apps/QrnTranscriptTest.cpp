// Transcripts: each transcripts/NAME.txt is a list of steps run in a fresh
// folder. A step is a line "== WORD ARGS"; the lines under it, up to the next
// step, are its text (each with its newline). Lines before the first step and
// the step "#" are prose. @DIR@, @SRC@ (the source tree) and @PLUGINS@ stand for
// folders; paths are relative to the case's folder.
//   file P | hex P | pad P N    write P: the text; the text's hex bytes; N spaces
//   copy S D | link T P         copy S to D (recursively); P is a symlink to T
//   poke P AT V | cut P N       byte AT of P set to V; P cut to N bytes (N < 0: that many fewer)
//   size P N                    P made N bytes long, sparse
//   passes P N MS               append to recording P N passes, MS apart, going on from its last, then the text
//   png P indexed|rgba LEGEND   write P from the text, a grid of letters; LEGEND is "L=RRGGBB[AA]" a letter,
//                               in palette order
//   pixels P WxH LEGEND         P is W x H and its top left holds the grid's colours ("?": any)
//   in D | limit                later runs start in D (default: the case's folder); run within 512 MB
//   qrn ARGS                    run qrn (stdin /dev/null), its debug.txt removed first
//   status N | out | err | debug    the last run's status; its stdout, stderr, debug.txt exactly
//   out~ [S] | err~ [S]         the last run's stdout, stderr hold S (or the text)
//   same A B | absent P         A and B are equal byte for byte; P does not exist
//   lines P N                   P holds N lines
//   unloadable P                the animation loader refuses P
//   only NAMES                  the case's folder holds these files and the runs' own, no other
//   readme P                    P shows debug.txt as a block: "```\n" debug "```"
#include "tests/apps/QrnAppFixture.h"
#include "tests/support/CaseFiles.h"

#include "anim/KvAOFile.h"
#include "framework/KvPng.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace {

const fs::path kTranscripts = kSource / "apps" / "transcripts";


class Transcript : public QrnRun, public ::testing::WithParamInterface<std::string> {
protected:
    std::string expand(std::string s) const {
        const std::pair<std::string, std::string> names[] = {
            {"@DIR@", dir.string()}, {"@SRC@", kSource.parent_path().string()}, {"@PLUGINS@", QRN_PLUGIN_DIR}};
        for (const auto& [name, value] : names)
            for (size_t at; (at = s.find(name)) != std::string::npos;) s.replace(at, name.size(), value);
        return s;
    }
    fs::path path(const std::string& p) const { return dir / expand(p); }  // an absolute p stays as it is
    void put(const std::string& p, const std::string& bytes) const { write(expand(p), bytes); }
    void step(const std::string& word, const std::string& args, const std::string& text) {
        if (word == "#") return;
        std::istringstream in(args);
        std::string a, b;
        in >> a >> b;
        if (word == "file") put(a, expand(text));
        else if (word == "pad") put(a, std::string(std::stoul(b), ' '));
        else if (word == "hex") {
            std::istringstream hex(text);
            std::string bytes;
            for (unsigned v; hex >> std::hex >> v;) bytes += static_cast<char>(v);
            put(a, bytes);
        } else if (word == "copy") {
            fs::create_directories(path(b).parent_path());
            fs::copy(path(a), path(b), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        } else if (word == "link") {
            fs::create_directories(path(b).parent_path());
            fs::create_symlink(path(a), path(b));
        } else if (word == "poke" || word == "cut") {
            std::string bytes = read(a);
            const long n = std::stol(b, nullptr, 0);
            if (word == "cut") bytes.resize(static_cast<size_t>(n < 0 ? static_cast<long>(bytes.size()) + n : n));
            else bytes.at(static_cast<size_t>(n)) = static_cast<char>(std::stoi(args.substr(args.rfind(' ')), nullptr, 0));
            put(a, bytes);
        } else if (word == "size") {
            put(a, read(a));
            fs::resize_file(path(a), std::stoul(b));
        } else if (word == "passes") {
            std::string recording = read(path(a)), w;
            long pass = 0, ms = 0, n = std::stol(b), apart = std::stol(args.substr(args.rfind(' ')));
            for (std::istringstream lines(recording); lines >> w;)
                if (w == "start") lines >> ms;
                else if (w == "pass") lines >> pass >> ms;
            while (n-- > 0) recording += "pass " + std::to_string(++pass) + " " + std::to_string(ms += apart) + "\n";
            put(a, recording + text);
        } else if (word == "png") {
            KvPngImage png;
            png.indexed = b == "indexed";
            std::string letters;
            for (const auto& [letter, rgba] : legend(in)) {
                letters += letter;
                png.palette.push_back(KvColor::fromBytes(rgba >> 24, rgba >> 16 & 0xFF, rgba >> 8 & 0xFF));
                png.paletteAlpha.push_back(rgba & 0xFF);
            }
            std::istringstream grid(text);
            for (std::string row; std::getline(grid, row); ++png.height, png.width = static_cast<int>(row.size()))
                for (const char c : row) {
                    const size_t i = letters.find(c);
                    const KvColor& colour = png.palette.at(i);
                    png.indices.push_back(static_cast<uint8_t>(i));
                    png.rgba.insert(png.rgba.end(), {colour.r8(), colour.g8(), colour.b8(), png.paletteAlpha[i]});
                }
            EXPECT_TRUE(KvSavePng(png, path(a).c_str())) << a;
        } else if (word == "pixels") {
            KvPngImage png;
            ASSERT_TRUE(KvLoadPng(path(a).c_str(), png)) << a;
            EXPECT_EQ(std::to_string(png.width) + "x" + std::to_string(png.height), b);
            std::map<char, uint32_t> colours;
            for (const auto& [letter, rgba] : legend(in)) colours[letter] = rgba;
            std::istringstream grid(text);
            std::string wrong, row;
            for (int y = 0; y < png.height && std::getline(grid, row); ++y)
                for (int x = 0; x < std::min(png.width, static_cast<int>(row.size())) && wrong.empty(); ++x) {
                    const uint8_t* p = &png.rgba[4 * (static_cast<size_t>(y) * png.width + x)];
                    const uint32_t rgba = static_cast<uint32_t>(p[0] << 24 | p[1] << 16 | p[2] << 8 | 0xFF);
                    char at[40];
                    std::snprintf(at, sizeof at, "%d,%d is %06x", x, y, static_cast<unsigned>(rgba >> 8));
                    if (row[x] != '?' && colours[row[x]] != rgba) wrong = at;
                }
            EXPECT_EQ(wrong, "") << "the first pixel unlike the grid";
        } else if (word == "in") cwd = a;
        else if (word == "limit") limited = true;
        else if (word == "qrn") status = qrn(expand(args), cwd, limited);
        else if (word == "status") EXPECT_EQ(status, std::stoi(a)) << err;
        else if (word == "out") EXPECT_EQ(out, expand(text));
        else if (word == "err") EXPECT_EQ(err, expand(text));
        else if (word == "debug") EXPECT_EQ(read(cwd / "debug.txt"), text);
        else if (word == "out~") EXPECT_NE(out.find(expand(args.empty() ? text : args)), std::string::npos) << out;
        else if (word == "err~") EXPECT_NE(err.find(expand(args.empty() ? text : args)), std::string::npos) << err;
        else if (word == "same") EXPECT_TRUE(read(path(a)) == read(path(b))) << a << " differs from " << b;
        else if (word == "unloadable") {
            Bytes file = bytes(a);
            KvAOLayout layout;
            EXPECT_FALSE(KvAOFile::read(file.data(), file.size(), 0x555, layout)) << a;
        } else if (word == "lines") {
            const std::string lines = read(path(a));
            EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), std::stol(b)) << a;
        } else if (word == "absent") EXPECT_FALSE(fs::exists(path(a))) << a;
        else if (word == "only") {
            std::set<std::string> allowed{"out.txt", "err.txt"}, found;
            for (std::istringstream names(args); names >> a;) allowed.insert(a);
            for (const auto& entry : fs::directory_iterator(dir)) found.insert(entry.path().filename().string());
            EXPECT_TRUE(std::includes(allowed.begin(), allowed.end(), found.begin(), found.end())) << "unexpected files";
        } else if (word == "readme")
            EXPECT_NE(read(path(a)).find("```\n" + read(cwd / "debug.txt") + "```"), std::string::npos) << a;
        else ADD_FAILURE() << "unknown step " << word;
    }
    // The "L=RRGGBB[AA]" words left in, as letter and RGBA (opaque when no AA is given).
    static std::vector<std::pair<char, uint32_t>> legend(std::istringstream& in) {
        std::vector<std::pair<char, uint32_t>> colours;
        for (std::string w; in >> w;) {
            const auto v = static_cast<uint32_t>(std::stoul(w.substr(2), nullptr, 16));
            colours.emplace_back(w[0], w.size() == 8 ? v << 8 | 0xFF : v);
        }
        return colours;
    }
    fs::path cwd = ".";
    bool limited = false;
    int status = -1;
};

TEST_P(Transcript, EveryStepGivesWhatItSays) {
    std::ifstream in(kTranscripts / (GetParam() + ".txt"));
    std::string line, word, args, text;
    int at = 0, stepLine = 0;
    const auto flush = [&] {
        if (word.empty()) return;
        SCOPED_TRACE(GetParam() + ".txt:" + std::to_string(stepLine) + ": " + word + " " + args);
        step(word, args, text);
    };
    while (std::getline(in, line) && ++at) {
        if (line.rfind("== ", 0) != 0) {
            text += line + "\n";
            continue;
        }
        flush();
        const size_t space = line.find(' ', 3);
        word = line.substr(3, space - 3), args = space == std::string::npos ? "" : line.substr(space + 1);
        text.clear(), stepLine = at;
    }
    flush();
}

INSTANTIATE_TEST_SUITE_P(Apps, Transcript, ::testing::ValuesIn(caseNames(kTranscripts)), caseName);

}  // namespace
