#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include "MeasurementPlan.h"

namespace {

int rowOfPoint(const MeasurementPlan &plan, int point)
{
    for (int row = 0; row < plan.rowCount(); ++row) {
        if (plan.entry(row).index == point)
            return row;
    }
    return -1;
}

} // namespace

class TestPlan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialPlanIsCatalogueOrderAllTicked()
    {
        MeasurementPlan plan;
        QCOMPARE(plan.rowCount(), 23);
        QCOMPARE(plan.highlighted(), 0);
        QCOMPARE(plan.tickedPoints().size(), 23);
        QVERIFY(!plan.canMoveUp());
        QVERIFY(plan.canMoveDown());
        QCOMPARE(plan.highlightedDescription(),
                 QStringLiteral("Festékrétegvastagság értékei a bal első sárvédőn."));
        QCOMPARE(plan.data(plan.index(12), Qt::DisplayRole).toString(),
                 QStringLiteral("Alvázszám"));
        QCOMPARE(plan.data(plan.index(5), MeasurementPlan::kIndexRole).toInt(), 5);
    }

    void mandatoryPointsStayTicked()
    {
        MeasurementPlan plan;
        plan.toggleTick(12); // check box click on "Alvázszám"
        QVERIFY(plan.entry(12).ticked);
        QVERIFY(plan.setData(plan.index(13), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(plan.entry(13).ticked);
        plan.setHighlighted(14);
        plan.doubleClickHighlighted();
        QVERIFY(plan.entry(14).ticked);

        plan.tickNone();
        QCOMPARE(plan.tickedPoints(), (QList<int>{12, 13, 14}));
        plan.tickAll();
        QCOMPARE(plan.tickedPoints().size(), 23);
    }

    void doubleClickInvertsOrdinaryPoints()
    {
        MeasurementPlan plan;
        plan.setHighlighted(3);
        plan.doubleClickHighlighted();
        QVERIFY(!plan.entry(3).ticked);
        plan.doubleClickHighlighted();
        QVERIFY(plan.entry(3).ticked);
        plan.toggleTick(4);
        QVERIFY(!plan.entry(4).ticked);
        QCOMPARE(plan.highlighted(), 4);
    }

    void movesCarryTickAndHighlight()
    {
        MeasurementPlan plan;
        QSignalSpy highlight(&plan, &MeasurementPlan::highlightChanged);
        plan.toggleTick(5); // unticked, highlighted
        plan.moveUp();
        QCOMPARE(plan.highlighted(), 4);
        QCOMPARE(plan.entry(4), (PlanEntry{5, false}));
        QCOMPARE(plan.entry(5), (PlanEntry{4, true}));
        QCOMPARE(highlight.last().at(0).toInt(), 4);

        plan.setHighlighted(0);
        plan.moveUp(); // nothing at the top
        QCOMPARE(plan.entry(0).index, 0);
        QVERIFY(!plan.canMoveUp());

        plan.setHighlighted(22);
        QVERIFY(!plan.canMoveDown());
        plan.moveDown();
        QCOMPARE(plan.entry(22).index, 22);
        plan.setHighlighted(21);
        plan.moveDown();
        QCOMPARE(plan.entry(22).index, 21);
        QCOMPARE(plan.highlighted(), 22);
    }

    void restoreDefaultOrderKeepsTicks()
    {
        MeasurementPlan plan;
        plan.setHighlighted(10);
        plan.moveUp();
        plan.moveUp();
        plan.toggleTick(rowOfPoint(plan, 10));
        plan.toggleTick(rowOfPoint(plan, 20));
        plan.setHighlighted(15);
        plan.restoreDefaultOrder();
        QCOMPARE(plan.highlighted(), 0);
        for (int row = 0; row < 23; ++row) {
            QCOMPARE(plan.entry(row).index, row);
            QCOMPARE(plan.entry(row).ticked, row != 10 && row != 20);
        }
    }

    void applyForcesMandatoryAndHighlightsFirst()
    {
        MeasurementPlan plan;
        PlanSnapshot preset{};
        for (int i = 0; i < 23; ++i)
            preset[size_t(i)] = {22 - i, false};
        plan.setHighlighted(7);
        plan.apply(preset);
        QCOMPARE(plan.highlighted(), 0);
        QCOMPARE(plan.entry(0).index, 22);
        QCOMPARE(plan.tickedPoints(), (QList<int>{14, 13, 12}));
        QCOMPARE(plan.snapshot()[10], (PlanEntry{12, true}));
    }

    // Every operation keeps the model consistent for its views: rows moved,
    // reset and changed as announced, and each row's data as the entry says.
    void everyOperationKeepsTheModelConsistent()
    {
        MeasurementPlan plan;
        QAbstractItemModelTester tester(&plan,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto checkRows = [&plan] {
            for (int row = 0; row < plan.rowCount(); ++row) {
                const QModelIndex i = plan.index(row);
                const PlanEntry &e = plan.entry(row);
                QCOMPARE(plan.data(i, MeasurementPlan::kIndexRole).toInt(), e.index);
                QCOMPARE(plan.data(i, Qt::CheckStateRole).value<Qt::CheckState>(),
                         e.ticked ? Qt::Checked : Qt::Unchecked);
                QCOMPARE(plan.data(i, Qt::DisplayRole).toString(),
                         PointCatalogue::displayName(e.index));
            }
        };
        // A view's indexes follow the moved rows.
        const QPersistentModelIndex last(plan.index(22));
        const QPersistentModelIndex first(plan.index(0));
        plan.setHighlighted(22);
        plan.moveDown(); // at the end: nothing
        plan.moveUp();
        plan.moveUp();
        QCOMPARE(last.row(), 20);
        plan.setHighlighted(0);
        plan.moveUp(); // at the top: nothing
        plan.moveDown();
        QCOMPARE(first.row(), 1);
        checkRows();
        QVERIFY(plan.setData(plan.index(3), Qt::Unchecked, Qt::CheckStateRole));
        plan.setData(plan.index(rowOfPoint(plan, 13)), Qt::Unchecked, Qt::CheckStateRole);
        plan.toggleTick(4);
        plan.setHighlighted(5);
        plan.doubleClickHighlighted();
        checkRows();
        plan.tickNone();
        plan.tickAll();
        plan.restoreDefaultOrder();
        checkRows();
        PlanSnapshot preset = plan.snapshot();
        std::reverse(preset.begin(), preset.end());
        for (PlanEntry &e : preset)
            e.ticked = e.index % 2;
        plan.apply(preset);
        checkRows();
        QCOMPARE(plan.entry(0).index, 22);
    }
};

QTEST_APPLESS_MAIN(TestPlan)
#include "tst_plan.moc"
