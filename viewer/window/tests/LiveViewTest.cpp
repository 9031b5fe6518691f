// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "Engine.h"
#include "LiveView.h"
#include "MainWindow.h"
#include "ScreenPicture.h"
#include "WindowTestSupport.h"

#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace korvane;
using namespace korvane::test;

namespace {

class NoHost : public EngineHost {
public:
    void requestRepaint() override {}
    void showConnectionError() override {}
};

// Counts the queued calls that reach a widget.
class QueuedCallCounter : public QObject {
public:
    int calls = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++calls;
        return false;
    }
};

QRgb windowColour(const QWidget& widget)
{
    return widget.palette().window().color().rgb();
}

}  // namespace

class LiveViewTest : public QObject {
    Q_OBJECT
private slots:
    void screenIsTurnedUpright();
    void pictureFollowsNewScreensAndColourTables();
    void pictureCoversWholeClientAreaNearestPixel_data();
    void pictureCoversWholeClientAreaNearestPixel();
    void placeholderCentredOnOneLineWhileUnlinked_data();
    void placeholderCentredOnOneLineWhileUnlinked();
    void linkedWithoutScreenShowsNoText();
    void repaintRequestsAreFoldedIntoOne();
};

void LiveViewTest::screenIsTurnedUpright()
{
    ScreenImage screen;
    const zls740sim::Frame frame = patternFrame();
    std::copy(frame.begin(), frame.end(), screen.frameBuffer().begin());
    screen.publishFrame(1);

    QImage picture;
    QVERIFY(screen.read([&](const ScreenView& view) { picture = ScreenPicture::fromView(view); }));
    QCOMPARE(picture.size(), QSize(320, 240));
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const QRgb expected = paletteColour(Palettes::colour(), zls740sim::screenPixel(frame, x, y)).rgb();
            if (picture.pixel(x, y) != expected)
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is %3, expected %4")
                                     .arg(x).arg(y).arg(picture.pixel(x, y), 0, 16).arg(expected, 0, 16)));
        }
    }
}

void LiveViewTest::pictureFollowsNewScreensAndColourTables()
{
    ScreenImage screen;
    ScreenPicture picture;
    QVERIFY(!picture.refresh(screen));
    QVERIFY(picture.image().isNull());

    zls740sim::Frame frame = patternFrame();
    std::copy(frame.begin(), frame.end(), screen.frameBuffer().begin());
    screen.publishFrame(1);
    QVERIFY(picture.refresh(screen));
    const QImage colour = picture.image();
    QCOMPARE(QColor(colour.pixel(0, 0)), paletteColour(Palettes::colour(), 2));

    // The next screen, with other pixels.
    zls740sim::putScreenPixel(frame, 0, 0, 9);
    std::copy(frame.begin(), frame.end(), screen.frameBuffer().begin());
    screen.publishFrame(1);
    QVERIFY(picture.refresh(screen));
    QCOMPARE(QColor(picture.image().pixel(0, 0)), paletteColour(Palettes::colour(), 9));

    // A reconnect loads the header template again: the same pixels now show
    // in the template's colour table, although no new screen was decoded.
    HeaderBytes header = HeaderTemplate::builtIn();
    const std::size_t entry9 = kPaletteOffset + 4 * 9;
    header[entry9] = 0x12;      // blue
    header[entry9 + 1] = 0x34;  // green
    header[entry9 + 2] = 0x56;  // red
    screen.loadHeader(header);
    QVERIFY(picture.refresh(screen));
    QCOMPARE(QColor(picture.image().pixel(0, 0)), QColor(0x56, 0x34, 0x12));

    // Monochrome from the next decoded screen on.
    screen.publishFrame(0);
    QVERIFY(picture.refresh(screen));
    QCOMPARE(QColor(picture.image().pixel(0, 0)), paletteColour(Palettes::monochrome(), 9));
}

void LiveViewTest::pictureCoversWholeClientAreaNearestPixel_data()
{
    QTest::addColumn<QSize>("client");
    QTest::newRow("wider, taller") << QSize(960, 300);
    QTest::newRow("smaller") << QSize(203, 170);
}

void LiveViewTest::pictureCoversWholeClientAreaNearestPixel()
{
    QFETCH(QSize, client);
    QTemporaryDir dir;
    addDeadPorts(dir.path());
    zls740sim::SimulatorOptions options;
    options.replayFile = writeFrameFile(dir.path(), patternFrame()).toStdString();
    auto simulator = startSimulator(dir.path(), 5, options);

    MainWindow window(dir.path().toStdString());
    window.show();
    window.runCommand(int(CommandId::Connect));
    QCOMPARE(window.engine().isConnected(), 1);
    QVERIFY(QTest::qWaitFor([&] { return window.engine().screen().read([](const ScreenView&) {}); }, kDeadlineMs));

    window.resize(client.width(), client.height() + window.menuBar()->height());
    QTRY_COMPARE_WITH_TIMEOUT(window.liveView()->size(), client, kDeadlineMs);
    QCOMPARE(window.liveView()->clientSize(), client);
    const QImage shown = window.liveView()->grab().toImage();
    QCOMPARE(shown.size(), client);

    const Palette& palette = Palettes::colour();
    auto screenColour = [&](int sx, int sy) { return paletteColour(palette, patternIndex(sx, sy)).rgb(); };
    const int w = client.width();
    const int h = client.height();
    // The four corners hold the four corner pixels of the screen.
    QCOMPARE(QColor(shown.pixel(0, 0)).rgb(), screenColour(0, 0));
    QCOMPARE(QColor(shown.pixel(w - 1, 0)).rgb(), screenColour(319, 0));
    QCOMPARE(QColor(shown.pixel(0, h - 1)).rgb(), screenColour(0, 239));
    QCOMPARE(QColor(shown.pixel(w - 1, h - 1)).rgb(), screenColour(319, 239));

    // Every pixel is a screen pixel at (or, for rounding, next to) the place
    // its position scales to: nothing blended, shifted, or left unpainted.
    for (int y = 0; y < h; ++y) {
        const int cy = (2 * y + 1) * 240 / (2 * h);
        for (int x = 0; x < w; ++x) {
            const int cx = (2 * x + 1) * 320 / (2 * w);
            const QRgb got = QColor(shown.pixel(x, y)).rgb();
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy) {
                for (int dx = -1; dx <= 1 && !near; ++dx) {
                    const int sx = std::clamp(cx + dx, 0, 319);
                    const int sy = std::clamp(cy + dy, 0, 239);
                    near = got == screenColour(sx, sy);
                }
            }
            if (!near)
                QFAIL(qPrintable(QStringLiteral("client pixel (%1, %2) is %3, not the screen near (%4, %5)")
                                     .arg(x).arg(y).arg(got, 0, 16).arg(cx).arg(cy)));
        }
    }

    // Minimised or squeezed to nothing: recorded, painted without harm.
    window.liveView()->resize(0, 0);
    QCOMPARE(window.liveView()->clientSize(), QSize(0, 0));
    window.liveView()->repaint();
    window.runCommand(int(CommandId::Exit));
}

void LiveViewTest::placeholderCentredOnOneLineWhileUnlinked_data()
{
    QTest::addColumn<QSize>("client");
    QTest::newRow("start size") << QSize(320, 240);
    QTest::newRow("wide") << QSize(700, 150);
}

void LiveViewTest::placeholderCentredOnOneLineWhileUnlinked()
{
    QFETCH(QSize, client);
    QTemporaryDir dir;
    MainWindow window(dir.path().toStdString());
    window.show();
    window.resize(client.width(), client.height() + window.menuBar()->height());
    QTRY_COMPARE_WITH_TIMEOUT(window.liveView()->size(), client, kDeadlineMs);
    const QImage shown = window.liveView()->grab().toImage();

    const QRgb background = windowColour(*window.liveView());
    QRect ink;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (QColor(shown.pixel(x, y)).rgb() != background)
                ink |= QRect(x, y, 1, 1);
        }
    }
    QVERIFY2(!ink.isEmpty(), "no text drawn");
    const QFontMetrics metrics(window.liveView()->font());
    QVERIFY(ink.height() <= metrics.height());
    QVERIFY(ink.width() >= metrics.horizontalAdvance(LiveView::placeholderText()) * 3 / 4);
    QVERIFY2(qAbs(ink.center().x() - client.width() / 2) <= 3, qPrintable(QString::number(ink.center().x())));
    QVERIFY2(qAbs(ink.center().y() - client.height() / 2) <= 4, qPrintable(QString::number(ink.center().y())));
}

void LiveViewTest::linkedWithoutScreenShowsNoText()
{
    QTemporaryDir dir;
    addDeadPorts(dir.path());
    auto simulator = startSimulator(dir.path(), 5);
    MainWindow window(dir.path().toStdString());
    window.show();
    // Paused before the link comes up: no request goes out, no screen comes in.
    window.runCommand(int(CommandId::Pause));
    window.runCommand(int(CommandId::Connect));
    QCOMPARE(window.engine().isConnected(), 1);

    const QImage shown = window.liveView()->grab().toImage();
    const QRgb background = windowColour(*window.liveView());
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x)
            QCOMPARE(QColor(shown.pixel(x, y)).rgb(), background);
    }
    window.runCommand(int(CommandId::Exit));
}

void LiveViewTest::repaintRequestsAreFoldedIntoOne()
{
    NoHost host;
    Engine engine(host);
    LiveView view(engine);
    QueuedCallCounter counter;
    view.installEventFilter(&counter);

    // A burst from another thread, as from a fast reader thread while the
    // window thread is busy: one queued call.
    std::thread burst([&] {
        for (int i = 0; i < 100000; ++i)
            view.requestRepaint();
    });
    burst.join();
    QCoreApplication::processEvents();
    QCOMPARE(counter.calls, 1);

    // Served: the next screen asks anew.
    std::thread next([&] { view.requestRepaint(); });
    next.join();
    QCoreApplication::processEvents();
    QCOMPARE(counter.calls, 2);
}

QTEST_MAIN(LiveViewTest)
#include "LiveViewTest.moc"
