// The shipped installation data read by the settings readers: every
// variant loads, the selection finds the running number and the record
// status, the definition tables parse, and a save keeps the template's
// layout.
#include "common/initfile.h"
#include "common/installdata.h"

#include "test_settings_fixture.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

class InstalledData : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string data = std::string(VARENTA_SOURCE_DIR) + "/data";
        ASSERT_TRUE(std::filesystem::exists(data + "/tolvi.org")) << data;
        std::string msg;
        ASSERT_EQ(installProgramData(data, dir.path(), &msg), Status::Ok) << msg;
    }
    testing::TempFolder dir;
    Settings settings;
    RuntimeState state;
    StartOptions start;
    ManualClock clock{DateTime{2026, 5, 6, 10, 40, 0}};
};

TEST_F(InstalledData, TemplateAndVariantsLoad)
{
    InitStore s(settings, state, start, dir.path());
    ASSERT_EQ(s.load("", clock), Status::Ok);
    EXPECT_GE(s.resultItems().count(), 109);
    EXPECT_TRUE(s.resultItems().defined(6));
    EXPECT_TRUE(s.resultItems().defined(109));
    EXPECT_GE(s.channels().highestCode(), 12);
    EXPECT_NE(s.channels().factor(1), 0.0);
    EXPECT_GE(s.selection().numberPosition, 0);
    EXPECT_GE(s.selection().statusPosition, 0);
    EXPECT_FALSE(s.selection().columnCodes.empty());

    const std::vector<std::string> variants = s.variantList();
    ASSERT_FALSE(variants.empty());
    for (std::size_t n = 0; n < variants.size(); ++n) {
        if (!std::filesystem::exists(s.variantPath(static_cast<int>(n))))
            continue;
        SCOPED_TRACE(variants[n]);
        Settings v;
        EXPECT_EQ(v.load(s.variantPath(static_cast<int>(n))), Status::Ok);
    }
}

TEST_F(InstalledData, SaveKeepsTheTemplateLayout)
{
    InitStore s(settings, state, start, dir.path());
    ASSERT_EQ(s.load("", clock), Status::Ok);
    ASSERT_EQ(s.save({}), Status::Ok);
    std::vector<std::string> org, ini;
    ASSERT_EQ(readTextLines(dir.file("tolvi.org"), org), Status::Ok);
    ASSERT_EQ(readTextLines(dir.file("tolvi.ini"), ini), Status::Ok);
    // Same lines up to item 199: headings identical, items with 8 values.
    std::size_t last = 0;
    while (last < org.size() && !(parseSettingsLine(org[last]).isItem && parseSettingsLine(org[last]).number >= 199))
        ++last;
    ASSERT_EQ(ini.size(), last + 1);
    for (std::size_t i = 0; i < ini.size(); ++i) {
        if (!parseSettingsLine(org[i]).isItem)
            EXPECT_EQ(ini[i], org[i]);
        else
            EXPECT_EQ(parseSettingsLine(ini[i]).number, parseSettingsLine(org[i]).number);
    }
    Settings back;
    ASSERT_EQ(back.load(dir.file("tolvi.ini")), Status::Ok);
    // Every value of the shipped table survives the writing and reading.
    for (int n = 0; n <= 199; ++n)
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(back.value(n, k), settings.value(n, k)) << n << "/" << k;
}

}  // namespace
}  // namespace varenta
