// The communication program's conversion of a chosen master file to text
// data files, after its header search.
#include "brenlo24/link/linkfixture.h"
#include "brenlo24/link/ui/form1.h"
#include "brenlo24/link/ui/textconversion.h"
#include "common/textconvert_fixture.h"
#include "gui/brenlo24/fixture.h"
#include "tools/synth/synth.h"

#include <gtest/gtest.h>

using namespace varenta;
namespace fs = std::filesystem;

TEST(TextConversionWindow, WritesWhatTheProcessingProgramWritesWithNumberedTexts)
{
    const std::string folder = test::testFolder("textconv");
    ASSERT_EQ(test::installTestProgram(folder), Status::Ok);
    synth::GeneratorOptions o;
    o.plan.bursts = 5;
    o.plan.durationMinutes = 2;
    o.fidelity = synth::Fidelity::Cheap;
    ASSERT_EQ(synth::writeMasterPair(folder, "NR012", o), Status::Ok);
    const std::string master = folder + "/NR012M.H10";

    Form1 w("");
    test::ConfirmScript prompter;
    w.setPrompter(&prompter);
    const struct {
        InputResult answer;
        TextRange range;
        std::size_t files;
        const char* done;
    } cases[] = {
        {{"00002,00004", "0"}, {2, 4, false}, 3, "変換終了 測定番号=4"},
        {{"00002,00002", "1"}, {2, 2, true}, 2, "変換終了 測定番号=5"},
    };
    for (const auto& c : cases) {
        const NewestSearch found = w.searchNewestMeasurement(master);
        ASSERT_TRUE(found.found);
        prompter.results.push_back(c.answer);
        const TextConversionResult r = convertCollectedFileToText(w, master, found);
        EXPECT_EQ(r.status, Status::Ok);
        ASSERT_FALSE(prompter.asked.empty());
        EXPECT_EQ(prompter.asked.back().message, textRangeRequest(master).message);
        EXPECT_EQ(varenta::testing::expectSameAsSharedConversion(master, folder, c.range), c.files) << c.answer.answer;
        EXPECT_EQ(w.statusText(), c.done);
        for (const auto& [name, bytes] : varenta::testing::textDataFiles(folder))
            fs::remove(fs::path(folder) / name);
    }
    fs::remove_all(folder);
}
