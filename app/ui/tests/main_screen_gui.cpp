// The main screen on the offscreen platform: gradient colours read back from the painted
// image, and the layout rules after a resize and a header change.

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QTest>

#include "app/ui/fountain_widget.h"
#include "app/ui/main_screen_window.h"
#include "app/ui/tests/gui_app.h"
#include "app/ui/ui_text.h"

namespace nolvo::ui {
namespace {

// Win32 MulDiv for the small positive values used here, computed independently of the
// code under test: nearest, halves away from zero.
int Round(long long num, long long den) {
  const bool neg = (num < 0) != (den < 0);
  const long long a = std::llabs(num), d = std::llabs(den);
  const long long q = (2 * a + d) / (2 * d);
  return static_cast<int>(neg ? -q : q);
}

QRgb Pixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

TEST(MainScreenGradient, DesignedBlueToBlackOn1024x768) {
  test::GuiApp();
  app::TFountainFill fill;
  fill.SetFromColor(app::kBlue);
  fill.SetToColor(app::kBlack);
  fill.SetSteps(255);
  const QImage image = PaintFountain(fill, 1024, 768);
  ASSERT_EQ(image.size(), QSize(1024, 768));
  for (int x : {0, 511, 1023}) {
    EXPECT_EQ(Pixel(image, x, 0), 0x0000FFu) << x;    // band 0: pure blue
    EXPECT_EQ(Pixel(image, x, 767), 0x000000u) << x;  // band 254: pure black
  }
  // Every row holds the colour of its band: band i covers rows MulDiv(i, 768, 255) up to
  // MulDiv(i + 1, 768, 255), with blue 255 + MulDiv(i, -255, 254).
  for (int i = 0; i < 255; ++i) {
    const int top = Round(i * 768LL, 255), bottom = Round((i + 1) * 768LL, 255);
    const int blue = 255 + Round(i * -255LL, 254);
    for (int y = top; y < bottom; ++y)
      ASSERT_EQ(Pixel(image, 700, y), static_cast<QRgb>(blue)) << "row " << y << " band " << i;
  }
  // The last band starts at row 765.
  EXPECT_EQ(Pixel(image, 0, 765), 0u);
  EXPECT_NE(Pixel(image, 0, 764), 0u);
}

TEST(MainScreenGradient, VerticalAndSingleStep) {
  test::GuiApp();
  app::TFountainFill fill;
  fill.SetFromColor(0x0000FF);  // red
  fill.SetToColor(0x00FF00);    // green
  fill.SetSteps(2);
  fill.SetStyle(app::TFountainStyle::fsVertical);
  QImage image = PaintFountain(fill, 10, 4);
  EXPECT_EQ(Pixel(image, 4, 2), 0xFF0000u);  // left half red
  EXPECT_EQ(Pixel(image, 5, 2), 0x00FF00u);  // right half green
  fill.SetSteps(1);
  image = PaintFountain(fill, 10, 4);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(Pixel(image, x, 3), 0xFF0000u);
}

TEST(MainScreenGradient, CircularOn300x400) {
  test::GuiApp();
  app::TFountainFill fill;  // aqua to black in 20 steps
  fill.SetStyle(app::TFountainStyle::fsCircular);
  const QImage image = PaintFountain(fill, 300, 400);
  // The diagonal is 500: circle i is 500 - 25 i across, centred on (150, 200).
  EXPECT_EQ(Pixel(image, 2, 2), 0x00FFFFu);      // 247 from the centre: first circle only
  EXPECT_EQ(Pixel(image, 150, 200), 0x000000u);  // the centre ends in black
  // 145 from the centre: inside circle 8 (radius 150), outside circle 9 (137.5).
  const int c = 255 + Round(8 * -255LL, 19);
  EXPECT_EQ(Pixel(image, 5, 200), static_cast<QRgb>((c << 8) | c));
}

TEST(MainScreenLayout, ResizeAndHeaderChangeKeepTheRules) {
  test::GuiApp();
  platform::CodePage cp;
  MainScreenWindow screen(cp);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  EXPECT_EQ(screen.Image1()->x(), 976);
  EXPECT_EQ(screen.Image1()->y(), 8);
  EXPECT_EQ(screen.MainScreen()->size(), QSize(1024, 768));
  EXPECT_EQ(screen.CreditLine()->x(), 0);
  EXPECT_EQ(screen.CreditLine()->width(), 1024);
  EXPECT_EQ(screen.CreditLine()->y(), 768 - screen.CreditLine()->height() - 10);

  app::MainScreenModel model;
  model.Header.Text = "A Much Larger Product Title";
  model.Header.FontSize = 40;
  model.Header.ShadowSize = 3;
  screen.ApplyModel(model);
  screen.resize(800, 600);
  QApplication::processEvents();
  const ShadowLabel* h = screen.SetupHeader();
  const QFontMetrics m(h->font());
  EXPECT_EQ(h->height(), m.height() + 3);  // sized to its text plus the shadow
  EXPECT_EQ(h->pos(), QPoint(8, 1));
  EXPECT_EQ(screen.SetupHeader2()->x(), 18);
  EXPECT_EQ(screen.SetupHeader2()->y(), 1 + h->height() + 2);
  EXPECT_GT(h->height(), 40);  // the 40 point header is taller than the designed one
  EXPECT_EQ(screen.Image1()->x(), 800 - 48);

  // The painted window: blue at the top left below the header text, black at the bottom.
  const QImage shot = screen.grab().toImage();
  EXPECT_EQ(shot.pixel(400, 599) & 0xFFFFFF, 0x000000u);
  EXPECT_EQ(shot.pixel(screen.width() / 2, 0) & 0xFFFFFF, 0x0000FFu);
}

TEST(MainScreenLayout, FontsFallBackToInstalledFaces) {
  test::GuiApp();
  for (const char* designed : {"Impact", "Times New Roman", "MS Sans Serif"}) {
    const QString face = SubstituteFamily(designed);
    EXPECT_TRUE(QFontDatabase::families().contains(face, Qt::CaseInsensitive)) << designed;
  }
}

TEST(MainScreenLayout, DoubleClickOnTheIconClosesTheScreen) {
  test::GuiApp();
  platform::CodePage cp;
  MainScreenWindow screen(cp);
  int closes = 0;
  screen.OnClose = [&] { ++closes; };
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  QTest::mouseDClick(screen.Image1(), Qt::LeftButton);
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(screen.isVisible());
}

}  // namespace
}  // namespace nolvo::ui
