// Window placement from settings of another installation: windows stay on
// the screen and graph images are no larger than it.
#include "shell_fixture.h"

#include "tolv/program/assemble.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QMdiArea>
#include <QScreen>

using namespace varenta;
using namespace varenta::guitest;

TEST(WindowBounds, HugeSettingsGiveWindowsAndImagesInsideTheScreen)
{
    ProgramFolder pf;
    pf.generate(2);
    // Raw table, raw graph, power spectrum and component graph open; every
    // document window 9000 x 6000 and the main window 15360 x 11520.
    std::vector<std::tuple<int, int, std::string>> ini = {{98, 0, pf.master()}, {89, 0, "21300"},
                                                          {88, 0, "0"},         {88, 1, "0"},
                                                          {88, 2, "15360"},     {88, 3, "11520"}};
    for (int k = 0; k < 8; ++k)
        for (auto [v, t] : {std::pair{0, "100"}, std::pair{1, "100"}, std::pair{2, "9000"}, std::pair{3, "6000"}})
            ini.emplace_back(180 + k, v, t);
    pf.setIni(ini);

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    {
        Shell sh(pf);
        assembleProcessingProgram(sh.w());
        sh.w().startUp();
        settle();
        const QRect g = sh.w().geometry();
        EXPECT_TRUE(screen.contains(g)) << "main window " << g.x() << "," << g.y() << " " << g.width() << "x"
                                        << g.height() << " outside the screen " << screen.width() << "x"
                                        << screen.height();
        const QRect area = sh.w().mdiArea()->viewport()->rect();
        for (int kind : {0, 1, 4, 6}) {
            DocumentWindow* d = sh.doc(kind);
            ASSERT_NE(d, nullptr) << kind;
            EXPECT_LE(d->width(), area.width()) << kind;
            EXPECT_LE(d->height(), area.height()) << kind;
        }
        sh.w().close();
    }
    for (const char* image : {"NR22g.bmp", "NR24g.bmp", "NR25g.bmp"}) {
        QImageReader r(QString::fromStdString(pf.path(image)));
        const QSize size = r.size();
        ASSERT_TRUE(size.isValid()) << image;
        EXPECT_LE(size.width(), screen.width()) << image;
        EXPECT_LE(size.height(), screen.height()) << image;
    }
    // The geometry written back is the one used, not the one read.
    Settings s;
    ASSERT_EQ(s.load(pf.path("tolvi.ini")), Status::Ok);
    EXPECT_LE(s.integer(88, 2), screen.width());
    EXPECT_LE(s.integer(88, 3), screen.height());
    EXPECT_LE(s.integer(181, 2), screen.width());
    EXPECT_LE(s.integer(181, 3), screen.height());
}
