#include <QtTest>
class TestServiceRecord : public QObject
{
    Q_OBJECT private slots : void placeholder() { QVERIFY(true); }
};
QTEST_GUILESS_MAIN(TestServiceRecord)
#include "tst_servicerecord.moc"
