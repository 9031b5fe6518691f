// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "Engine.h"
#include "LiveView.h"
#include "MainWindow.h"
#include "ScreenPicture.h"
#include "WindowTestSupport.h"

#include <QMenuBar>
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

void publish(ScreenImage& screen, const zls740sim::Frame& frame, int colour)
{
    std::copy(frame.begin(), frame.end(), screen.frameBuffer().begin());
    screen.publishFrame(colour);
}

QRgb screenColour(int x, int y)
{
    return paletteColour(Palettes::colour(), patternIndex(x, y)).rgb();
}

// The window's view at `client` size, as it shows on screen.
QImage shownAt(MainWindow& window, QSize client)
{
    window.resize(client.width(), client.height() + window.menuBar()->height());
    if (!QTest::qWaitFor([&] { return window.liveView()->size() == client; }, kDeadlineMs))
        return {};
    return window.liveView()->grab().toImage();
}

}  // namespace

class LiveViewTest : public QObject {
    Q_OBJECT
private slots:
    void screenIsTurnedUpright();
    void pictureFollowsNewScreensAndColourTables();
    void pictureCoversWholeClientAreaNearestPixel_data();
    void pictureCoversWholeClientAreaNearestPixel();
    void placeholderCentredOnOneLineOnlyWhileUnlinked_data();
    void placeholderCentredOnOneLineOnlyWhileUnlinked();
    void repaintRequestsAreFoldedIntoOne();
};

void LiveViewTest::screenIsTurnedUpright()
{
    ScreenImage screen;
    const zls740sim::Frame frame = patternFrame();
    publish(screen, frame, 1);
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
    publish(screen, frame, 1);
    QVERIFY(picture.refresh(screen));
    QCOMPARE(QColor(picture.image().pixel(0, 0)), paletteColour(Palettes::colour(), 2));
    // The next screen, with other pixels.
    zls740sim::putScreenPixel(frame, 0, 0, 9);
    publish(screen, frame, 1);
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
    QTemporaryDir frames;
    zls740sim::SimulatorOptions options;
    options.replayFile = writeFrameFile(frames.path(), patternFrame()).toStdString();
    Rig rig(options);
    rig.run(CommandId::Connect);
    QVERIFY(rig.waitForScreen());
    const QImage shown = shownAt(*rig.window, client);
    QCOMPARE(shown.size(), client);
    QCOMPARE(rig.window->liveView()->clientSize(), client);

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
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx)
                    near = got == screenColour(std::clamp(cx + dx, 0, 319), std::clamp(cy + dy, 0, 239));
            if (!near)
                QFAIL(qPrintable(QStringLiteral("client pixel (%1, %2) is %3, not the screen near (%4, %5)")
                                     .arg(x).arg(y).arg(got, 0, 16).arg(cx).arg(cy)));
        }
    }

    // Minimised or squeezed to nothing: recorded, painted without harm.
    rig.window->liveView()->resize(0, 0);
    QCOMPARE(rig.window->liveView()->clientSize(), QSize(0, 0));
    rig.window->liveView()->repaint();
}

void LiveViewTest::placeholderCentredOnOneLineOnlyWhileUnlinked_data()
{
    QTest::addColumn<QSize>("client");
    QTest::addColumn<bool>("linked");
    QTest::newRow("start size") << QSize(320, 240) << false;
    QTest::newRow("wide") << QSize(700, 150) << false;
    // Paused before the link comes up: no request goes out, no screen comes
    // in, and the view shows neither a picture nor the hint.
    QTest::newRow("linked, no screen yet") << QSize(320, 240) << true;
}

void LiveViewTest::placeholderCentredOnOneLineOnlyWhileUnlinked()
{
    QFETCH(QSize, client);
    QFETCH(bool, linked);
    Rig rig(linked ? std::optional(zls740sim::SimulatorOptions{}) : std::nullopt);
    if (linked) {
        rig.run(CommandId::Pause);
        rig.run(CommandId::Connect);
        QCOMPARE(rig.window->engine().isConnected(), 1);
    }
    const QImage shown = shownAt(*rig.window, client);
    QVERIFY(!shown.isNull());
    const QRgb background = rig.window->liveView()->palette().window().color().rgb();
    QRect ink;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (QColor(shown.pixel(x, y)).rgb() != background)
                ink |= QRect(x, y, 1, 1);
        }
    }
    if (linked) {
        QVERIFY2(ink.isEmpty(), "something drawn while linked without a screen");
        return;
    }
    QVERIFY2(!ink.isEmpty(), "no text drawn");
    const QFontMetrics metrics(rig.window->liveView()->font());
    QVERIFY(ink.height() <= metrics.height());
    QVERIFY(ink.width() >= metrics.horizontalAdvance(LiveView::placeholderText()) * 3 / 4);
    QVERIFY2(qAbs(ink.center().x() - client.width() / 2) <= 3, qPrintable(QString::number(ink.center().x())));
    QVERIFY2(qAbs(ink.center().y() - client.height() / 2) <= 4, qPrintable(QString::number(ink.center().y())));
}

void LiveViewTest::repaintRequestsAreFoldedIntoOne()
{
    NoHost host;
    Engine engine(host);
    LiveView view(engine);
    EventCounter calls(&view, QEvent::MetaCall);

    // A burst from another thread, as from a fast reader thread while the
    // window thread is busy: one queued call.
    std::thread burst([&] {
        for (int i = 0; i < 100000; ++i)
            view.requestRepaint();
    });
    burst.join();
    QCoreApplication::processEvents();
    QCOMPARE(calls.count, 1);

    // Served: the next screen asks anew.
    std::thread next([&] { view.requestRepaint(); });
    next.join();
    QCoreApplication::processEvents();
    QCOMPARE(calls.count, 2);
}

QTEST_MAIN(LiveViewTest)
#include "LiveViewTest.moc"
