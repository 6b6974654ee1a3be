#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPaintEvent>
#include <QTest>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Document.h"
#include "Eventually.h"
#include "MessageCapture.h"
#include "View.h"
#include "WavWriter.h"

namespace {

struct UpdateRecord {
    std::string view;
    platform::View* sender;
    long hint;
    void* object;
};

// A view that writes every update it receives into a shared log.
class LoggingView : public platform::View {
public:
    LoggingView(std::string name, std::vector<UpdateRecord>& log) : m_name(std::move(name)), m_log(log) {}
    QWidget* GetWidget() override { return &m_widget; }
    void OnUpdate(platform::View* sender, long hint, void* object) override {
        m_log.push_back({m_name, sender, hint, object});
        if (onUpdate) onUpdate();
    }
    std::function<void()> onUpdate;

private:
    std::string m_name;
    std::vector<UpdateRecord>& m_log;
    QWidget m_widget;
};

std::vector<std::string> Names(const std::vector<UpdateRecord>& log) {
    std::vector<std::string> names;
    for (const UpdateRecord& r : log) names.push_back(r.view);
    return names;
}

// A widget that counts its paint events, for the default view behaviour.
class CountingWidget : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

class DefaultView : public platform::View {
public:
    QWidget* GetWidget() override { return &widget; }
    CountingWidget widget;
};

}  // namespace

TEST(Document, BroadcastReachesViewsInTheOrderTheyWereAdded) {
    std::vector<UpdateRecord> log;
    platform::Document doc;
    LoggingView c("c", log), a("a", log), b("b", log);
    doc.AddView(&c);
    doc.AddView(&a);
    doc.AddView(&b);
    ASSERT_EQ(doc.GetViews().size(), 3u);
    EXPECT_EQ(c.GetDocument(), &doc);

    int object = 0;
    doc.UpdateAllViews(nullptr, 1, &object);
    EXPECT_EQ(Names(log), (std::vector<std::string>{"c", "a", "b"}));
    for (const UpdateRecord& r : log) {
        EXPECT_EQ(r.sender, nullptr);
        EXPECT_EQ(r.hint, 1);
        EXPECT_EQ(r.object, &object);
    }

    // The sender itself is left out, the others keep their order.
    log.clear();
    doc.UpdateAllViews(&a, 7);
    EXPECT_EQ(Names(log), (std::vector<std::string>{"c", "b"}));
    for (const UpdateRecord& r : log) {
        EXPECT_EQ(r.sender, &a);
        EXPECT_EQ(r.hint, 7);
        EXPECT_EQ(r.object, nullptr);
    }

    // A sender that is not a view of this document excludes nobody.
    log.clear();
    platform::Document other;
    LoggingView stranger("s", log);
    other.AddView(&stranger);
    doc.UpdateAllViews(&stranger, 2);
    EXPECT_EQ(Names(log), (std::vector<std::string>{"c", "a", "b"}));
}

TEST(Document, AttachingIsUniqueAndMovesBetweenDocuments) {
    std::vector<UpdateRecord> log;
    platform::Document first, second;
    LoggingView a("a", log), b("b", log);
    first.AddView(&a);
    first.AddView(&b);
    first.AddView(&a);  // already there: stays once, in its place
    first.AddView(nullptr);
    EXPECT_EQ(first.GetViews(), (std::vector<platform::View*>{&a, &b}));

    second.AddView(&a);
    EXPECT_EQ(a.GetDocument(), &second);
    EXPECT_EQ(first.GetViews(), (std::vector<platform::View*>{&b}));
    EXPECT_EQ(second.GetViews(), (std::vector<platform::View*>{&a}));

    first.UpdateAllViews(nullptr);
    EXPECT_EQ(Names(log), (std::vector<std::string>{"b"}));

    second.RemoveView(&b);  // not one of its views: nothing changes
    EXPECT_EQ(b.GetDocument(), &first);
    first.RemoveView(&b);
    EXPECT_EQ(b.GetDocument(), nullptr);
    EXPECT_TRUE(first.GetViews().empty());
}

TEST(Document, DestroyingEitherSideDetaches) {
    std::vector<UpdateRecord> log;
    platform::Document doc;
    auto a = std::make_unique<LoggingView>("a", log);
    LoggingView b("b", log);
    doc.AddView(a.get());
    doc.AddView(&b);
    a.reset();
    EXPECT_EQ(doc.GetViews(), (std::vector<platform::View*>{&b}));
    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(Names(log), (std::vector<std::string>{"b"}));

    // A view that outlives its document forgets it and can still be destroyed.
    auto view = std::make_unique<LoggingView>("v", log);
    {
        platform::Document shortLived;
        shortLived.AddView(view.get());
        EXPECT_EQ(view->GetDocument(), &shortLived);
    }
    EXPECT_EQ(view->GetDocument(), nullptr);
    view.reset();
}

TEST(Document, ViewsLeavingDuringABroadcastAreNotCalled) {
    std::vector<UpdateRecord> log;
    platform::Document doc;
    LoggingView a("a", log), c("c", log);
    auto b = std::make_unique<LoggingView>("b", log);
    doc.AddView(&a);
    doc.AddView(b.get());
    doc.AddView(&c);
    // The first view closes the second while it handles the update, and
    // detaches itself.
    a.onUpdate = [&] {
        b.reset();
        doc.RemoveView(&a);
    };
    doc.UpdateAllViews(nullptr, 3);
    EXPECT_EQ(Names(log), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(doc.GetViews(), (std::vector<platform::View*>{&c}));
}

TEST(Document, DefaultViewUpdateRepaintsItsWidget) {
    platform::Document doc;
    DefaultView view;
    doc.AddView(&view);
    view.widget.resize(50, 40);
    view.widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view.widget));
    EXPECT_EVENTUALLY(view.widget.paints > 0, 5000);
    const int before = view.widget.paints;
    view.OnInitialUpdate();
    EXPECT_EVENTUALLY(view.widget.paints > before, 5000);
    const int middle = view.widget.paints;
    doc.UpdateAllViews(nullptr, 1);
    EXPECT_EVENTUALLY(view.widget.paints > middle, 5000);
}

TEST(Document, OpeningChecksForAReadableFileAndSetsPathAndTitle) {
    testwav::TempDir dir;
    const std::string path = dir.file("take one.wav");
    ASSERT_TRUE(testwav::writeFile(path, {1, 2, 3}));

    MessageCapture capture;
    platform::Document doc;
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(capture.count(), 0u);
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(doc.GetTitle(), "take one.wav");

    const std::string missing = dir.file("absent.wav");
    platform::Document missingDoc;
    EXPECT_FALSE(missingDoc.OnOpenDocument(missing));
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(capture.last(),
              "Cannot open the file " + missing + ".\n\nНе удается открыть файл " + missing + ".");
    EXPECT_EQ(missingDoc.GetPathName(), "");

    platform::Document folderDoc;
    EXPECT_FALSE(folderDoc.OnOpenDocument(dir.path()));
    EXPECT_EQ(capture.count(), 2u);
    EXPECT_FALSE(folderDoc.OnOpenDocument(""));
    EXPECT_EQ(capture.count(), 3u);
}

TEST(Document, PathNameIsMadeAbsolute) {
    platform::Document doc;
    doc.SetPathName("some/where/voice.wav");
    EXPECT_EQ(doc.GetPathName(), QDir::current().absoluteFilePath("some/where/voice.wav").toStdString());
    EXPECT_EQ(doc.GetTitle(), "voice.wav");
    doc.SetTitle("Другое имя");
    EXPECT_EQ(doc.GetTitle(), "Другое имя");
    doc.SetPathName("");
    EXPECT_EQ(doc.GetPathName(), "");
    EXPECT_EQ(doc.GetTitle(), "");
}
