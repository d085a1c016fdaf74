#include "GuiTestApp.h"

#include "frame/FrameImage.h"
#include "setup/RegionSelectWnd.h"

#include <QImage>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

// Rectangles print as their edges.
void PrintTo(const QRect& r, std::ostream* os) {
    *os << '(' << r.left() << ',' << r.top() << ',' << r.right() << ',' << r.bottom() << ')';
}

namespace {

class RegionSelect : public ::testing::Test {
protected:
    RegionSelect() { GuiTestApp(); }
    CRegionSelectWnd* Make(int w, int h, bool running = true, bool enabled = true) {
        parent = std::make_unique<QWidget>();
        parent->resize(w + 20, h + 20);
        auto* wnd = new CRegionSelectWnd(
            parent.get(), QRect(10, 10, w, h), [running] { return running; },
            [this] { return image.Empty() ? nullptr : &image; }, enabled);
        parent->show();
        return wnd;
    }
    static void Mouse(QWidget* w, QEvent::Type type, int x, int y) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }
    static void Drag(QWidget* w, QPoint from, QPoint to) {
        Mouse(w, QEvent::MouseButtonPress, from.x(), from.y());
        Mouse(w, QEvent::MouseMove, to.x(), to.y());
        Mouse(w, QEvent::MouseButtonRelease, to.x(), to.y());
    }
    static QRect Edges(int l, int t, int r, int b) {
        QRect rect;
        rect.setCoords(l, t, r, b);
        return rect;
    }

    std::unique_ptr<QWidget> parent;
    CFrameImage image;
};

TEST_F(RegionSelect, RoundTripAtFrameSizeKeepsTheRegion) {
    CRegionSelectWnd* wnd = Make(320, 240);
    for (const QRect& r : {Edges(80, 60, 240, 180), Edges(0, 0, 320, 240), Edges(1, 239, 319, 1)}) {
        wnd->SetRegion(r.left(), r.top(), r.right(), r.bottom(), true);
        EXPECT_EQ(wnd->Region(), r);
        EXPECT_EQ(wnd->GetRegion(), r);
    }
}

TEST_F(RegionSelect, OtherSizesFollowTheConversions) {
    // Twice the frame: pixels double, and the way back is exact.
    CRegionSelectWnd* big = Make(640, 480);
    big->SetRegion(80, 60, 240, 180, true);
    EXPECT_EQ(big->Region(), Edges(160, 120, 480, 360));
    EXPECT_EQ(big->GetRegion(), Edges(80, 60, 240, 180));
    // Smaller than the frame: rounding to pixels costs a frame pixel here and there.
    CRegionSelectWnd* small = Make(211, 137);
    small->SetRegion(80, 60, 240, 180, true);
    EXPECT_EQ(small->Region(), Edges(53, 34, 158, 103));
    EXPECT_EQ(small->GetRegion(), Edges(81, 60, 240, 181));
    // Unscaled values are window pixels.
    small->SetRegion(10, 20, 30, 40, false);
    EXPECT_EQ(small->Region(), Edges(10, 20, 30, 40));
    EXPECT_EQ(small->TopLeftGrip(), Edges(10, 20, 18, 28));
    EXPECT_EQ(small->BottomRightGrip(), Edges(22, 32, 30, 40));
}

TEST_F(RegionSelect, TopLeftGripStaysInsideAndKeepsTheSmallestSize) {
    CRegionSelectWnd* wnd = Make(320, 240);
    wnd->SetRegion(80, 60, 240, 180, false);
    const int g = 32; // one frame pixel is one window pixel here
    Drag(wnd, QPoint(82, 62), QPoint(400, 400));
    EXPECT_EQ(wnd->Region(), Edges(240 - g, 180 - g, 240, 180));
    Drag(wnd, QPoint(240 - g + 1, 180 - g + 1), QPoint(-50, -50));
    EXPECT_EQ(wnd->Region(), Edges(1, 1, 240, 180));
    // The drag keeps the offset between the grip corner and the pointer.
    Drag(wnd, QPoint(5, 6), QPoint(25, 26));
    EXPECT_EQ(wnd->Region(), Edges(21, 21, 240, 180));
}

TEST_F(RegionSelect, BottomRightGripStaysOffTheLastRowAndColumn) {
    CRegionSelectWnd* wnd = Make(320, 240);
    wnd->SetRegion(80, 60, 240, 180, false);
    Drag(wnd, QPoint(238, 178), QPoint(1000, 1000));
    EXPECT_EQ(wnd->Region(), Edges(80, 60, 319, 239));
    Drag(wnd, QPoint(318, 238), QPoint(0, 0));
    EXPECT_EQ(wnd->Region(), Edges(80, 60, 112, 92));
    // The smallest size uses the horizontal scale for both directions.
    CRegionSelectWnd* wide = Make(640, 240);
    wide->SetRegion(100, 100, 300, 200, false);
    Drag(wide, QPoint(298, 198), QPoint(0, 0));
    EXPECT_EQ(wide->Region(), Edges(100, 100, 164, 164));
    EXPECT_EQ(wide->GetRegion(), Edges(50, 100, 82, 164));
}

TEST_F(RegionSelect, PressInsideDragsTheWholeRectangleWithinTheWindowAndOutsideNothing) {
    struct CCase {
        QPoint from, to;
        QRect after;
    };
    const CCase cases[] = {
        {{160, 120}, {170, 135}, Edges(90, 75, 250, 195)},
        {{88, 62}, {98, 77}, Edges(90, 75, 250, 195)}, // beside the grip, inside the rectangle
        {{160, 120}, {-100, -100}, Edges(1, 1, 161, 121)},
        {{160, 120}, {1000, 1000}, Edges(159, 119, 319, 239)},
        {{40, 30}, {10, 10}, Edges(80, 60, 240, 180)},     // outside
        {{240, 180}, {300, 230}, Edges(80, 60, 240, 180)}, // right and bottom edges are outside
    };
    CRegionSelectWnd* wnd = Make(320, 240);
    for (const CCase& c : cases) {
        wnd->SetRegion(80, 60, 240, 180, false);
        Drag(wnd, c.from, c.to);
        Mouse(wnd, QEvent::MouseMove, 5, 5); // released: moving moves nothing
        EXPECT_EQ(wnd->Region(), c.after) << c.from.x() << ',' << c.from.y();
        EXPECT_EQ(wnd->BottomRightGrip(), Edges(c.after.right() - 8, c.after.bottom() - 8,
                                                c.after.right(), c.after.bottom()));
    }
}

TEST_F(RegionSelect, PaintsPictureAndOutlineOnlyWhileTheSourceRuns) {
    image.bgrx.assign(static_cast<size_t>(image.width * image.height * 4), 0);
    for (size_t i = 0; i < image.bgrx.size(); i += 4)
        image.bgrx[i + 2] = 0xFF; // red picture
    CRegionSelectWnd* wnd = Make(320, 240);
    wnd->SetRegion(80, 60, 240, 180, false);
    QImage shot = wnd->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(160, 120)), QColor(255, 0, 0));
    // The outline is green over the picture; faint when the rectangle is off.
    const QColor strong(shot.pixel(160, 60));
    EXPECT_GT(strong.green(), 150);
    wnd->SetEnabled(false);
    shot = wnd->grab().toImage();
    const QColor faint(shot.pixel(160, 60));
    EXPECT_LT(faint.green(), strong.green());
    EXPECT_GT(faint.green(), 0);

    CRegionSelectWnd* idle = Make(320, 240, false);
    idle->SetRegion(80, 60, 240, 180, false);
    shot = idle->grab().toImage();
    EXPECT_EQ(shot.pixel(160, 60), shot.pixel(5, 5));
    EXPECT_EQ(shot.pixel(160, 120), shot.pixel(5, 5));
}

} // namespace
