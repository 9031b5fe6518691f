// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "AboutBox.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

using namespace korvane;
using namespace korvane::test;

class AboutBoxTest : public QObject {
    Q_OBJECT
private slots:
    void closesFourWays_data();
    void closesFourWays();
};

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
    int closedWith = -1;
    const QStringList boxes = modalBoxesOf([&] { closedWith = box.exec(); }, [&](QWidget*) {
        if (how == "ok")
            QTest::mouseClick(box.okButton(), Qt::LeftButton);
        else if (how == "enter")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        else if (how == "esc")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            box.close();  // what the window system's close box does
    });
    QCOMPARE(boxes, QStringList{"About in QWidget"});
    QCOMPARE(closedWith, result);
    QVERIFY(!box.isVisible());
}

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
