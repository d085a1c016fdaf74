#pragma once
#include "main/DepthWatch.h"

#include "program/AppObjects.h"

#include <QWidget>

class CAppSettings;
class CSurveillanceController;
class IFrameSource;

// The live video window: paints the controller's frame image stretched to its
// area, and over it either the arming countdown or the motion markers and the
// detection rectangle. Everything but the painting lives in the controller.
class CVideoWnd : public QWidget {
    Q_OBJECT
public:
    // Takes the place of the placeholder child `placeholderId` of `parent`
    // (the placeholder is removed): 320 x 240 at its top-left corner. The
    // margins to the parent's edges are kept for FitToParent. The controller
    // repaints the window after each step. A change of the display's depth
    // asks `closeRequests` for the close (and the restart in the new depth).
    CVideoWnd(QWidget* parent, int placeholderId, CSurveillanceController& controller,
              CAppSettings& settings, IFrameSource* source, ICloseRequests& closeRequests);
    ~CVideoWnd() override;

    // Fills the parent below the status panel (38 pixels from the top, plus
    // the button row when it is shown), keeping the margins of creation.
    void FitToParent();

    // The depth of the last paint (16 or 32).
    int PaintDepth() const { return m_depth; }

    // The heat map: each block tinted by its change in the last check, red
    // where it passed the threshold. The H key switches it in the window, the
    // False Alarms window of the setup through the settings record.
    void SetHeatMap(bool on);
    bool HeatMap() const;

    // The countdown's two lines for `countdown` (empty when armed).
    static QString CountdownLine1(int countdown, int warmUp);
    static QString CountdownLine2(int countdown, int warmUp);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void PaintCountdown(QPainter& p);
    void PaintMarkers(QPainter& p);
    void PaintHeatMap(QPainter& p);
    void WatchDepth(int displayDepth);

    CSurveillanceController& m_controller;
    CAppSettings& m_settings;
    IFrameSource* m_source;
    ICloseRequests& m_closeRequests;
    int m_leftMargin = 0;
    int m_rightMargin = 0;
    int m_bottomMargin = 0;
    int m_depth = 32;
    CDepthWatch m_depthWatch;
};
