// The plain view of the document template: a scrolling view whose surface is
// 100 x 100 pixels, drawn as a red square while it has a document, with the
// printing commands. The document windows of this program build their panes
// from the sonogram and FGT views, so the document template never makes one;
// it stays creatable (CreateObject) because the template names a view class.
#pragma once

#include "ScrollView.h"

class QPrinter;

class CFonavidView : public platform::ScrollView {
    Q_OBJECT

public:
    explicit CFonavidView(QWidget* parent = nullptr);
    ~CFonavidView() override;

    // Makes a view as the document template would.
    static platform::View* CreateObject();

    void OnInitialUpdate() override;

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, platform::CommandState& state) override;

protected:
    void OnDraw(QPainter& painter, const QRect& clip) override;

    // Printing hooks: asks for the printer (true to go on), then brackets
    // the printed pages.
    virtual bool OnPreparePrinting(QPrinter& printer);
    virtual void OnBeginPrinting(QPainter& painter, QPrinter& printer);
    virtual void OnEndPrinting(QPainter& painter, QPrinter& printer);

private:
    void OnFilePrint(bool direct);
    void OnFilePrintPreview();
    void PrintOn(QPrinter& printer);
};
