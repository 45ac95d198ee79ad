#include <QtTest>
class TestUtils : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestUtils)
#include "TestUtils.moc"
