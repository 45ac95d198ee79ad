#include <QtTest>
class TestJson : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestJson)
#include "TestJson.moc"
