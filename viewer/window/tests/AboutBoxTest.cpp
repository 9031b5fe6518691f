// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "AboutBox.h"
#include "WindowTestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace korvane;
using namespace korvane::test;

class AboutBoxTest : public QObject {
    Q_OBJECT
private slots:
    void showsNameVersionAndPicture();
    void closesFourWays_data();
    void closesFourWays();
};

void AboutBoxTest::showsNameVersionAndPicture()
{
    QWidget owner;
    owner.resize(320, 240);
    owner.show();
    AboutBox box(&owner);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));

    QCOMPARE(box.windowTitle(), QStringLiteral("About"));
    QVERIFY(box.isModal());
    QStringList texts;
    for (const QLabel* label : box.findChildren<QLabel*>())
        texts << label->text();
    QVERIFY2(texts.contains(QStringLiteral("Korvane V1.00")), qPrintable(texts.join('|')));
    // The picture at its own size, in the box's left part.
    QCOMPARE(box.picture()->size(), QSize(240, 120));
    QVERIFY(box.picture()->geometry().right() < box.okButton()->geometry().left());
    QVERIFY(box.rect().contains(box.picture()->geometry()));
    QVERIFY(box.rect().contains(box.okButton()->geometry()));
    QVERIFY(box.okButton()->isDefault());
    QCOMPARE(QApplication::focusWidget(), box.okButton());
    // Below and right of the owner's corner, not centred over it.
    QCOMPARE(box.pos(), owner.mapToGlobal(AboutBox::offsetFromOwner()));
}

void AboutBoxTest::closesFourWays_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("OK button") << "ok" << int(QDialog::Accepted);
    QTest::newRow("Enter") << "enter" << int(QDialog::Accepted);
    QTest::newRow("Esc") << "esc" << int(QDialog::Rejected);
    QTest::newRow("close box") << "close" << int(QDialog::Rejected);
}

void AboutBoxTest::closesFourWays()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    QWidget owner;
    owner.show();
    AboutBox box(&owner);
    ModalWatcher watcher([&](QWidget* modal) {
        QCOMPARE(modal, &box);
        if (how == "ok")
            QTest::mouseClick(box.okButton(), Qt::LeftButton);
        else if (how == "enter")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        else if (how == "esc")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            box.close();  // what the window system's close box does
    });
    QCOMPARE(box.exec(), result);
    QCOMPARE(watcher.seen().size(), 1);
    QVERIFY(!box.isVisible());
}

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
