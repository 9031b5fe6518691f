// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "LiveView.h"
#include "MainWindow.h"
#include "Palettes.h"
#include "WindowTestSupport.h"

#include <QFile>
#include <QMenuBar>
#include <QTest>

using namespace korvane;
using namespace korvane::test;

namespace {

// Corners of their own colours, columns and rows unlike their neighbours: a shifted, mirrored
// or blended picture shows.
int screenIndex(int x, int y)
{
    const bool corner = (x == 0 || x == 319) && (y == 0 || y == 239);
    return corner ? 2 + (x ? 2 : 0) + (y ? 4 : 0) : (x / 4 + 3 * (y / 4)) % 16;
}

QRgb screenColour(int x, int y)
{
    const Rgb& rgb = Palettes::colour()[std::size_t(screenIndex(x, y))];
    return qRgb(rgb.red, rgb.green, rgb.blue);
}

// Where the view differs from the colour of an empty document area; the
// grey of dialogs (the palette's window colour) counts as ink.
QRect inkOf(LiveView& view)
{
    const QImage shown = view.grab().toImage();
    const QRgb background = view.palette().base().color().rgb();
    QRect ink;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            ink |= QColor(shown.pixel(x, y)).rgb() != background ? QRect(x, y, 1, 1) : QRect();
    return ink;
}

// Sizes the live view to `client`; true once it has that size.
bool resizeClient(Rig& rig, QSize client)
{
    rig.window->resize(client.width(), client.height() + rig.window->menuBar()->height());
    return QTest::qWaitFor([&] { return rig.window->liveView()->size() == client; }, kDeadlineMs);
}

}  // namespace

class LiveViewTest : public QObject {
    Q_OBJECT
private slots:
    void hintInTheMiddleWhileNotLinked_data() { clientSizes(); }
    void hintInTheMiddleWhileNotLinked();
    void nothingDrawnWhileLinkedWithoutAScreen();
    void screenUprightNearestPixel_data() { clientSizes(); }
    void screenUprightNearestPixel();

private:
    static void clientSizes();
};

void LiveViewTest::clientSizes()
{
    QTest::addColumn<QSize>("client");
    QTest::newRow("wider, taller") << QSize(960, 300);
    QTest::newRow("smaller") << QSize(283, 197);
}

void LiveViewTest::hintInTheMiddleWhileNotLinked()
{
    QFETCH(QSize, client);
    Rig rig;
    LiveView& view = *rig.window->liveView();
    QVERIFY(resizeClient(rig, client));
    // On one line, in the middle.
    const QRect hint = inkOf(view);
    const QFontMetrics metrics(view.font());
    QVERIFY(hint.height() > 0 && hint.height() <= metrics.height());
    QVERIFY(hint.width() >= metrics.horizontalAdvance(LiveView::placeholderText()) * 3 / 4);
    QVERIFY(qAbs(hint.center().x() - client.width() / 2) <= 3 && qAbs(hint.center().y() - client.height() / 2) <= 4);
}

// Linked while paused, so no screen comes in: neither hint nor picture.
void LiveViewTest::nothingDrawnWhileLinkedWithoutAScreen()
{
    Rig rig;
    rig.addSimulator(5);
    rig.run(CommandId::Pause);
    rig.run(CommandId::Connect);
    QCOMPARE(rig.window->engine().isConnected(), 1);
    QVERIFY2(inkOf(*rig.window->liveView()).isEmpty(), "something drawn while linked without a screen");
}

void LiveViewTest::screenUprightNearestPixel()
{
    QFETCH(QSize, client);
    Rig rig;
    zls740sim::Frame frame{};
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            zls740sim::putScreenPixel(frame, x, y, std::uint8_t(screenIndex(x, y)));
    QFile replay(rig.file(QStringLiteral("pattern.frames")));
    QVERIFY(replay.open(QIODevice::WriteOnly));
    replay.write(reinterpret_cast<const char*>(frame.data()), qint64(frame.size()));
    QVERIFY(replay.flush());
    rig.addSimulator(5, [&](auto& o) { o.replayFile = replay.fileName().toStdString(); });
    QVERIFY(resizeClient(rig, client));
    rig.run(CommandId::Connect);
    QVERIFY(rig.waitForScreen());
    const QImage shown = rig.window->liveView()->grab().toImage();
    QCOMPARE(shown.size(), client);
    // Every pixel is the screen pixel its place scales to, or for rounding one next to it.
    const int w = client.width();
    const int h = client.height();
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
                                     .arg(x)
                                     .arg(y)
                                     .arg(got, 0, 16)
                                     .arg(cx)
                                     .arg(cy)));
        }
    }
}

QTEST_MAIN(LiveViewTest)
#include "LiveViewTest.moc"
