#pragma once
// The chart window of every graph and calibration: one series of (x, y) points and two axis
// titles, drawn as a scatter plot in a frame and savable as CSV or as a picture.

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "core/series/graph_series.h"
#include "ui/dialog.h"
#include "ui/drawing_surface.h"
#include "ui/plot_view.h"

// Resource ids of the graph window.
inline constexpr int IDD_GRAPH = 136;
inline constexpr int IDR_GRAPH_MENU = 140;
inline constexpr int ID_GRAPH_SAVE_CSV = 32797;
inline constexpr int ID_GRAPH_SAVE_PICTURE = 32890;
inline constexpr int ID_GRAPH_EXIT = 32774;
inline constexpr int ID_GRAPH_EXPLORE = 32951;

class CGraphDlg : public marvek::ui::Dialog {
public:
    CGraphDlg();

    static marvek::ui::DialogTemplate GraphTemplate();

    // Fills titles, points and count from a computed series.
    void SetSeries(const marvek::GraphSeries& series);

    char m_chMarker = '*';
    std::string m_strYLabel;
    std::string m_strXLabel;
    // The window's title (which files and settings); empty keeps the template's.
    std::string m_strCaption;
    // Per point, the curve's file and test (written to the CSV).
    std::vector<std::pair<std::string, std::string>> m_labels;
    int m_nCount = 0;
    // Sized to the series (the first m_nCount points are shown).
    std::vector<double> m_adY;
    std::vector<double> m_adX;
    // A fitted line over the points, the text in the frame, and whether the mean is marked
    // (see GraphSeries).
    std::vector<double> m_lineX, m_lineY;
    std::string m_strText;
    bool m_bMeanMark = true;
    double m_dViewYLower = std::numeric_limits<double>::quiet_NaN();
    double m_dViewYUpper = std::numeric_limits<double>::quiet_NaN();

    void OnSaveAsCsv();
    void OnSavePicture();
    void OnExit();
    // The series in a window to zoom, pan and export.
    void OnExplorePlot();

    // The series in its classic drawing (DrawGraph: frame, ranges, mean and titles) at the
    // client's size, saved as PNG; false with a message.
    bool SavePicture(const std::filesystem::path& file, std::string& error);

    // The plot on show (zoom, pan, grid; the cursor's coordinates in the status line): the
    // points as stars, the mean of the values at the left edge. Made in OnInitDialog.
    marvek::ui::PlotView* m_plot = nullptr;
    marvek::ui::PlotData PlotContent() const;

protected:
    bool OnInitDialog() override;
    void OnSize(int width, int height) override;

private:
    marvek::GraphSeries Series() const;
};

// Draws the graph of `count` points on `surface`: the frame, every point (black pixel plus
// the marker), the ranges and mean of the values in "%2.5f" and the two titles. A point with
// a value that is not a finite number is left out (of the extremes and the mean too); an axis
// whose values have no spread puts its points in the middle of the frame.
void DrawGraph(marvek::ui::DrawingSurface& surface, const double* x, const double* y, int count,
               const std::string& xTitle, const std::string& yTitle, char marker);
