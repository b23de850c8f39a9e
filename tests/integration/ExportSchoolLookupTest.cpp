// The school lookup the three exports share, and where it differs: only the class periods
// export needs the school's name.
#include "ExportFixture.h"

using namespace exporttest;

namespace {

class ExportSchoolLookupTest : public ExportTest {
protected:
    // Which exports refuse the school: "Q1", "Q3" and "Q7" for those raising the message.
    QStringList refusing()
    {
        QStringList result;
        const std::pair<const char*, const char*> exports[] = {
            {"Q1", "DC_MS_CLASSES_PERIODS"}, {"Q3", "DC_MS_YMARKS"}, {"Q7", "DC_MS_PMARKS"}};
        for (const auto& [component, procedure] : exports) {
            const QString message = failure(select(procedure, "*"));
            if (message.contains(QStringLiteral("Объект школы не найден")))
                result << component;
            else
                EXPECT_EQ(message, "") << procedure;
        }
        return result;
    }
};

TEST_F(ExportSchoolLookupTest, NoSchoolIsRefusedByEveryExport)
{
    EXPECT_EQ(refusing(), QStringList({"Q1", "Q3", "Q7"}));
    school(2023);
    EXPECT_EQ(refusing(), QStringList());
}

TEST_F(ExportSchoolLookupTest, TheSchoolNeedsItsLiveValuesAndARootLink)
{
    school(2023);
    db().execute("update VALS set IS_DEL = 1 where OBJ_ID = 1 and PARAM_ID = 9");
    EXPECT_EQ(refusing(), QStringList({"Q1", "Q3", "Q7"}));
    db().execute("update VALS set IS_DEL = 0 where OBJ_ID = 1 and PARAM_ID = 9");

    db().execute("update VALL set LISTVAL_ID = 1 where OBJ_ID = 1 and PARAM_ID = 1236");  // no such value
    EXPECT_EQ(refusing(), QStringList({"Q1", "Q3", "Q7"}));
    db().execute("update VALL set LISTVAL_ID = :listval_id where OBJ_ID = 1 and PARAM_ID = 1236", {yearValue(2023)});

    db().execute("update LINKS set DATE_DEL = :date_del where OBJ_ID = 1", {at(2023, 1, 1)});
    EXPECT_EQ(refusing(), QStringList({"Q1", "Q3", "Q7"}));
    db().execute("update LINKS set DATE_DEL = null, PARENT_ID = 99 where OBJ_ID = 1");
    EXPECT_EQ(refusing(), QStringList({"Q1", "Q3", "Q7"}));
}

TEST_F(ExportSchoolLookupTest, OnlyTheClassPeriodsExportNeedsTheSchoolsName)
{
    school(2023, false);
    EXPECT_EQ(refusing(), QStringList({"Q1"}));
}

}  // namespace
