// Code page conversion and the program's text files.
#include "common/textcodec.h"
#include "common/textfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;
using namespace varenta;

namespace {

std::string hexOf(const std::string& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

// User-interface and file texts of both programs, covering every kind of
// character they use: kanji, kana, full-width letters and digits, full-width
// signs (～ ［ ］ ＝ － ／ ： ！ ？ （ ）), the ideographic space, symbols
// (㎡ ① ← → ■ ▲ ▼ ゜) and half-width katakana with their sound marks.
const char* const kProgramTexts[] = {
    "データ無し",
    "時間毎に空白行を挿入",
    "平均方位=",
    "を一時的に変更します。 よろしいですか？",
    "ユーザーフォルダの作成(&U)",
    "ＡＴリザルト受信！",
    "本体のＲＡＭの値を書き換えます。その後、書き換えた値を表示します。",
    "機械番号 - 最終収録測定番号(測定時間/測定間隔)",
    "方向スペクトル３Ｄグラフ(&T)",
    "VarentaK - 操作の禁止",
    "VarentaK - 操作の注意",
    "本体のＳＤカードのindex62.txtを書き換えます",
    "バイト　ファイルサイズ変更完了！",
    "0バイト　ファイルサイズ変更中！",
    "成分流速２次元グラフ",
    "成分風速２次元グラフ",
    "測定起動します。設定値をセットしてください。よろしいですか？",
    "データファイル  (*.H10;*.TMP)|*.H10;*.TMP|",
    "連続測定データではありません！",
    "ＭＳ ゴシック",
    "海岸線に、うちよせる波の、方位範囲の、終わりの値",
    "［はい］＝終了、［いいえ］＝最小化、［キャンセル］＝そのまま",
    "ONで、処理終了後、ＷｅｂページをＷｅｂサイトに、コピーして更新する",
    "ファイルは適切なサイズです",
    "ノイズフィルターの繰返し実行回数(1～5)",
    "ノイズフィルターレベル(10～50)、小さい値で、ﾌｨﾙﾀｰ効果が強くなる",
    "測定時間－測定間隔の編集(&G)",
    "主波向の範囲(゜)",
    "グラフの自動印刷のＯＮ／ＯＦＦ",
    "X軸ｽｹｰﾙ：測定時間(分)",
    "X軸ｽｹｰﾙ(日)",
    "   経過時間（分）",
    "   経過時間（秒）",
    "受信パケット番号＝",
    "ＣＨ１７～ＣＨ３２の値を設定する",
    "SDﾌｧｲﾙ",
    "ｷｬﾝｾﾙ",
    "ｸﾘｱ",
    "ﾁｬﾝﾈﾙ1の色の選択",
    "全てのｳｨﾝﾄﾞｳを閉じることはできません",
    "パソコンのCOMﾎﾟｰﾄの変更",
    "流速のｾﾞﾛ補正値(m/s)",
    "波高の静穏値､波向、方向スペクトルを計算するための、最低有義波高値",
    "処理後の生ﾃﾞｰﾀは、修正できません。",
    "H3= 1.25m  P1=123ﾟ[ 8.5s]",
    "周波数(Hz)",
    "Ｈｚ",
    "㎡Ｓ",
    "①②③",
    " ← ",
    " → ",
    "■▲▼",
    "自動データ回収中です。 終了してもよろしいですか？",
    "受信タイムアウト",
    "回収終了",
    "UM05モニタ終了！",
    "装置情報の変更",
    "－－－",
};

}  // namespace

TEST(TextCodec, ProgramTextsRoundTrip)
{
    for (const char* text : kProgramTexts) {
        const std::string cp = toCodePage(text);
        EXPECT_EQ(cp.find('?'), std::string::npos) << text;  // every character is in the code page
        EXPECT_EQ(fromCodePage(cp), text);
        EXPECT_EQ(codePageWidth(text), cp.size()) << text;
    }
}

TEST(TextCodec, KnownEncodings)
{
    struct Case {
        const char* utf8;
        const char* hex;
    };
    const Case cases[] = {
        {"㎡", "8775"},
        {"①", "8740"},
        {"～", "8160"},          // U+FF5E, the code page's own wave dash
        {"\u301C", "8160"},       // WAVE DASH typed the JIS way reaches the same byte pair
        {"\u2212", "817c"},       // MINUS SIGN -> full-width hyphen-minus
        {"SDﾌｧｲﾙ", "5344cca7b2d9"},
        {"波高", "94678d82"},
        {"ﾟ", "df"},
        {"Ｈｚ", "8267829a"},
        {"a\\b~", "615c627e"},     // ASCII stays single-byte
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hexOf(toCodePage(c.utf8)), c.hex) << c.utf8;
    // Decoding gives the code page's own characters.
    EXPECT_EQ(fromCodePage("\x81\x60"), "～");
    EXPECT_EQ(fromCodePage("\x87\x75\x87\x40"), "㎡①");
    EXPECT_EQ(fromCodePage("\xCC\xA7\xB2\xD9"), "ﾌｧｲﾙ");
}

TEST(TextCodec, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    struct Case {
        const char* utf8;
        const char* cp;
    };
    const Case cases[] = {
        {"a€b", "a?b"},
        {"😀", "?"},
        {"한글", "??"},
        {"x\xFFy", "x?y"},        // not UTF-8 at all
        {"x\xE3\x81", "x?"},      // sequence cut short at the end
        {"\xE3\x81x", "?x"},      // sequence cut short inside
        {"\xC0\xAF", "?"},        // overlong form of '/' is one broken character
        {"波€高", "\x94\x67?\x8d\x82"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toCodePage(c.utf8), c.cp) << c.utf8;
}

TEST(TextCodec, InvalidCodePageBytesBecomeReplacementCharacters)
{
    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        std::string cp;
        std::string utf8;
    };
    const Case cases[] = {
        {"\x80", fffd},
        {"a\xA0" "b", "a" + fffd + "b"},
        {"a\x81", "a" + fffd},               // lead byte at the end
        {"\x81\x20x", fffd + " x"},          // lead byte before a byte that cannot trail
        {"\x85\x40z", fffd + "z"},           // unassigned pair: one character
        {std::string("\x00\x01", 2), std::string("\x00\x01", 2)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fromCodePage(c.cp), c.utf8) << hexOf(c.cp);
}

TEST(TextCodec, WidthAndCuts)
{
    struct Case {
        const char* text;
        std::size_t width;
    };
    const Case widths[] = {
        {"", 0}, {"abc", 3}, {"波高", 4}, {"ｱｲｳ", 3}, {"SDﾌｧｲﾙ", 6}, {"㎡①", 4}, {"a€", 2}, {"\xFF", 1},
    };
    for (const Case& c : widths)
        EXPECT_EQ(codePageWidth(c.text), c.width) << c.text;

    struct Cut {
        const char* text;
        std::size_t max;
        const char* left;
        const char* right;
    };
    const Cut cuts[] = {
        {"波高ABC", 3, "波", "ABC"},
        {"波高ABC", 5, "波高A", "高ABC"},
        {"ab波", 3, "ab", "b波"},
        {"ab波", 4, "ab波", "ab波"},
        {"ab波", 2, "ab", "波"},
        {"ｱ波ｲ", 2, "ｱ", "ｲ"},        // the double-byte character is never halved
        {"ｱ波ｲ", 3, "ｱ波", "波ｲ"},
        {"abc", 0, "", ""},
        {"abc", 10, "abc", "abc"},
    };
    for (const Cut& c : cuts) {
        EXPECT_EQ(cutToCodePageWidth(c.text, c.max), c.left) << c.text << " " << c.max;
        EXPECT_EQ(keepRightCodePageWidth(c.text, c.max), c.right) << c.text << " " << c.max;
        EXPECT_LE(codePageWidth(cutToCodePageWidth(c.text, c.max)), c.max);
    }
}

// ---------------------------------------------------------------------------

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/varenta-textfile-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    static std::string raw(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void putRaw(const std::string& p, const std::string& bytes)
    {
        std::ofstream out(p, std::ios::binary);
        out << bytes;
    }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

TEST_F(TextFileTest, WritesCodePageWithCrLf)
{
    const std::string p = path("tolvi.ini");
    ASSERT_EQ(writeTextLines(p, {"波高", "", "SDﾌｧｲﾙ=1"}), Status::Ok);
    EXPECT_EQ(hexOf(raw(p)), "94678d82" "0d0a" "0d0a" "5344cca7b2d93d31" "0d0a");

    ASSERT_EQ(writeTextLines(p, {"a", "b"}, false), Status::Ok);
    EXPECT_EQ(raw(p), "a\r\nb");

    ASSERT_EQ(writeTextLines(p, {}), Status::Ok);
    EXPECT_EQ(raw(p), "");
}

TEST_F(TextFileTest, ReadsLineEndsOfEitherKind)
{
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"\r\n", {""}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},              // last line without a line end is kept
        {"a\nb\n", {"a", "b"}},              // LF alone
        {"a\r\n\r\n", {"a", ""}},            // only the empty text after the last end is dropped
        {"a\n\r\nb", {"a", "", "b"}},
        {"x\ry\r\n", {"x\ry"}},              // a CR inside a line stays
        {"\x94\x67\x8d\x82\r\n\x81\x60\n", {"波高", "～"}},
        {"\xEF\xBB\xBF" "波高\r\n", {"波高"}},  // UTF-8 with byte-order mark
    };
    for (const Case& c : cases) {
        const std::string p = path("in.txt");
        putRaw(p, c.bytes);
        std::vector<std::string> lines{"stale"};
        ASSERT_EQ(readTextLines(p, lines), Status::Ok) << hexOf(c.bytes);
        EXPECT_EQ(lines, c.lines) << hexOf(c.bytes);
    }
}

TEST_F(TextFileTest, RoundTripsProgramTexts)
{
    std::vector<std::string> lines(std::begin(kProgramTexts), std::end(kProgramTexts));
    const std::string p = path("texts.txt");
    ASSERT_EQ(writeTextLines(p, lines), Status::Ok);
    std::vector<std::string> back;
    ASSERT_EQ(readTextLines(p, back), Status::Ok);
    EXPECT_EQ(back, lines);
}

TEST_F(TextFileTest, MissingAndUnreadableFiles)
{
    std::vector<std::string> lines{"stale"};
    EXPECT_EQ(readTextLines(path("none.txt"), lines), Status::NotFound);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(readTextLines(path("none/inner.txt"), lines), Status::NotFound);
    EXPECT_EQ(readTextLines(dir_.string(), lines), Status::Io);  // a folder is not a file
    std::string bytes = "stale";
    EXPECT_EQ(readFileBytes(path("none.bin"), bytes), Status::NotFound);
    EXPECT_TRUE(bytes.empty());
}

TEST_F(TextFileTest, FailedWritesLeaveNothingBehind)
{
    fs::create_directory(dir_ / "sub");
    putRaw(path("sub/keep.txt"), "keep");
    // Target is a folder: refused, the folder and its content untouched.
    EXPECT_EQ(writeTextLines(path("sub"), {"x"}), Status::Io);
    EXPECT_EQ(raw(path("sub/keep.txt")), "keep");
    // Folder missing.
    EXPECT_EQ(writeFileBytesAtomic(path("nowhere/f.bin"), "x"), Status::Io);
    EXPECT_EQ(writeFileBytesAtomic("", "x"), Status::Io);
    EXPECT_EQ(entries(), std::vector<std::string>{"sub"});  // no temporary file left over
}

TEST_F(TextFileTest, AtomicWriteReplacesWholeFile)
{
    const std::string p = path("data.bin");
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 + 3);
    ASSERT_EQ(writeFileBytesAtomic(p, big), Status::Ok);
    std::string back;
    ASSERT_EQ(readFileBytes(p, back), Status::Ok);
    EXPECT_EQ(back, big);

    // A shorter content replaces the longer one entirely, no tail remains.
    ASSERT_EQ(writeFileBytesAtomic(p, std::string("\x00\x5A", 2)), Status::Ok);
    ASSERT_EQ(readFileBytes(p, back), Status::Ok);
    EXPECT_EQ(back, std::string("\x00\x5A", 2));
    EXPECT_EQ(entries(), std::vector<std::string>{"data.bin"});
}

TEST_F(TextFileTest, KeepsPermissionsAndLinks)
{
    const std::string p = path("tolvi.ini");
    putRaw(p, "old");
    ASSERT_EQ(::chmod(p.c_str(), 0640), 0);
    ASSERT_EQ(writeTextLines(p, {"new"}), Status::Ok);
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    const std::string link = path("link.ini");
    fs::create_symlink(p, link);
    ASSERT_EQ(writeTextLines(link, {"through"}), Status::Ok);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(raw(p), "through\r\n");
}
