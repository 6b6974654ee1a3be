#include "FonavidView.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "ResourceIds.h"

CFonavidView::CFonavidView(QWidget* parent) : platform::ScrollView(parent) {}

CFonavidView::~CFonavidView() = default;

platform::View* CFonavidView::CreateObject() { return new CFonavidView(); }

void CFonavidView::OnInitialUpdate() {
    platform::ScrollView::OnInitialUpdate();
    SetScrollSizes(QSize(100, 100));
}

void CFonavidView::OnDraw(QPainter& painter, const QRect& clip) {
    (void)clip;
    if (GetDocument() != nullptr) painter.fillRect(QRect(0, 0, 100, 100), QColor(255, 0, 0));
}

bool CFonavidView::OnCommand(int id) {
    switch (id) {
        case res::ID_FILE_PRINT:
            OnFilePrint(false);
            return true;
        case res::ID_FILE_PRINT_DIRECT:
            OnFilePrint(true);
            return true;
        case res::ID_FILE_PRINT_PREVIEW:
            OnFilePrintPreview();
            return true;
        default:
            return false;
    }
}

bool CFonavidView::OnUpdateCommand(int id, platform::CommandState& state) {
    (void)state;
    return id == res::ID_FILE_PRINT || id == res::ID_FILE_PRINT_DIRECT || id == res::ID_FILE_PRINT_PREVIEW;
}

bool CFonavidView::OnPreparePrinting(QPrinter& printer) {
    QPrintDialog dialog(&printer, this);
    return dialog.exec() == QDialog::Accepted;
}

void CFonavidView::OnBeginPrinting(QPainter& painter, QPrinter& printer) {
    (void)painter;
    (void)printer;
}

void CFonavidView::OnEndPrinting(QPainter& painter, QPrinter& printer) {
    (void)painter;
    (void)printer;
}

void CFonavidView::OnFilePrint(bool direct) {
    QPrinter printer;
    if (!direct && !OnPreparePrinting(printer)) return;
    PrintOn(printer);
}

void CFonavidView::OnFilePrintPreview() {
    QPrintPreviewDialog preview(this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* printer) { PrintOn(*printer); });
    preview.exec();
}

void CFonavidView::PrintOn(QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) return;
    OnBeginPrinting(painter, printer);
    OnDraw(painter, QRect(0, 0, 100, 100));
    OnEndPrinting(painter, printer);
    painter.end();
}
