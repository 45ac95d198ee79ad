#include <QtTest>
class TestProbeEndToEnd : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestProbeEndToEnd)
#include "TestProbeEndToEnd.moc"
