#include <QtTest>
class TestFileProbe : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestFileProbe)
#include "TestFileProbe.moc"
