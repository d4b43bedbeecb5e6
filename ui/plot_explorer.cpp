#include "ui/plot_explorer.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/dialog.h"
#include "ui/services.h"

namespace marvek::ui {

PlotExplorer::PlotExplorer(PlotData content, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromStdString(content.caption));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    auto* layout = new QVBoxLayout(this);
    auto* tools = new QHBoxLayout;
    grid_ = new QCheckBox(QStringLiteral("&Grid"), this);
    segments_ = new QCheckBox(QStringLiteral("&Segments"), this);
    auto* reset = new QPushButton(QStringLiteral("&Reset View"), this);
    width_ = new QSpinBox(this);
    height_ = new QSpinBox(this);
    for (QSpinBox* s : {width_, height_}) s->setRange(100, 10000);
    width_->setValue(1600);
    height_->setValue(1200);
    auto* png = new QPushButton(QStringLiteral("Export &PNG..."), this);
    auto* svg = new QPushButton(QStringLiteral("Export S&VG..."), this);
    for (QPushButton* b : {reset, png, svg}) b->setAutoDefault(false);
    tools->addWidget(grid_);
    tools->addWidget(segments_);
    tools->addWidget(reset);
    tools->addStretch();
    tools->addWidget(new QLabel(QStringLiteral("PNG size:"), this));
    tools->addWidget(width_);
    tools->addWidget(new QLabel(QStringLiteral("x"), this));
    tools->addWidget(height_);
    tools->addWidget(png);
    tools->addWidget(svg);
    layout->addLayout(tools);

    plot_ = new PlotView(this);
    plot_->setMinimumSize(400, 300);
    layout->addWidget(plot_, 1);
    coordinates_ = new QLabel(this);
    coordinates_->setText(
        QStringLiteral("Wheel: zoom   Drag: pan   Ctrl+drag: zoom to "
                       "rectangle   Double-click or Home: reset"));
    layout->addWidget(coordinates_);

    connect(grid_, &QCheckBox::toggled, this, [this](bool on) { SetGrid(on); });
    connect(segments_, &QCheckBox::toggled, this, [this](bool on) { SetSegments(on); });
    connect(reset, &QPushButton::clicked, this, [this] { ResetView(); });
    connect(png, &QPushButton::clicked, this, [this] { ChooseAndExport(false); });
    connect(svg, &QPushButton::clicked, this, [this] { ChooseAndExport(true); });
    plot_->onCoordinates = [this](const std::string& text) {
        coordinates_->setText(QString::fromStdString(text));
    };

    plot_->SetData(std::move(content));
    SetGrid(false);
    resize(900, 650);
}

void PlotExplorer::ResetView() { plot_->ResetView(); }

void PlotExplorer::ZoomTo(const std::string& name) { plot_->ZoomTo(name); }

void PlotExplorer::SetGrid(bool on) {
    if (grid_->isChecked() != on) grid_->setChecked(on);
    plot_->SetGrid(on);
}

void PlotExplorer::SetSegments(bool on) {
    if (segments_->isChecked() != on) segments_->setChecked(on);
    plot_->SetSegments(on);
}

void PlotExplorer::SetExportSize(int width, int height) {
    width_->setValue(width);
    height_->setValue(height);
}

std::string PlotExplorer::CoordinatesAt(QPoint pixel) const { return plot_->CoordinatesAt(pixel); }

std::string PlotExplorer::CoordinatesText() const { return coordinates_->text().toStdString(); }

bool PlotExplorer::ExportPng(const std::filesystem::path& file, std::string& error) const {
    return plot_->ExportPng(file, width_->value(), height_->value(), error);
}

bool PlotExplorer::ExportSvg(const std::filesystem::path& file, std::string& error) const {
    return plot_->ExportSvg(file, error);
}

void PlotExplorer::ChooseAndExport(bool asSvg) {
    SaveFileRequest request;
    request.filter = asSvg ? "SVG Drawings (*.SVG)" : "PNG Images (*.PNG)";
    request.defaultExtension = asSvg ? "svg" : "png";
    const auto file = GetServices().SaveFile(request);
    if (!file) return;
    std::string error;
    if (!(asSvg ? ExportSvg(*file, error) : ExportPng(*file, error)))
        ShowMessage(nullptr, error, kApplicationName, MessageButtons::Ok, MessageIcon::Error);
}

void PlotExplorer::keyPressEvent(QKeyEvent* event) {
    // Home resets here whether or not the plot has the focus: nothing else in this window
    // wants it.
    if (event->key() == Qt::Key_Home) {
        ResetView();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace marvek::ui
