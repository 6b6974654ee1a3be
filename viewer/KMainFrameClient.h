// The banner behind the document windows: a dark blue field with two author
// lines, the program's title with an institution line, a place-and-date line
// and a glowing wave packet, all in proportion to the client area and painted
// anew (fonts and pens made afresh) whenever the area is drawn. It attaches to
// the workspace's client widget by filtering its paint and resize events; the
// workspace keeps doing everything else itself. Owned by CMainFrame.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

class QPainter;
class QWidget;
class QFont;

class CKMainFrameClient : public QObject {
    Q_OBJECT

public:
    explicit CKMainFrameClient(QObject* parent = nullptr);
    ~CKMainFrameClient() override;

    // Takes over the background of `client` (the workspace's viewport).
    bool SubclassWindow(QWidget* client);
    QWidget* GetClient() const { return m_client; }

    // Paints the whole banner for a client area of `size`; always true (the
    // background counts as erased).
    static bool OnEraseBkgnd(QPainter& painter, const QSize& size);

    // The texts of the banner.
    static const char* const kAuthorLine1;
    static const char* const kAuthorLine2;
    static const char* const kTitle;
    static const char* const kInstitutionLine;
    static const char* const kPlaceAndDateLine;

    // A font of `height` pixels of cell height and `width` pixels of average
    // character width (0: the face's own), the first available of `face`
    // and `fallbackFace`.
    static QFont MakeFont(const QString& face, const QString& fallbackFace, int height, int width, int weight,
                          bool italic);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_client;
};
