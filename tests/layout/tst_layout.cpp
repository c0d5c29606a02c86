#include "layout/placement_geometry.h"

#include <QTest>

class TestLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void catalogue() { QCOMPARE(Plover::paperSizes().size(), std::size_t(4)); }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
