#pragma once
// Shared ground of the value post-processing tests: one stand-in database per suite with the
// period verification and post-processing procedures installed; every test works in its own
// transaction, which is rolled back at its end, so tests never see each other's rows.

#include "SchoolBuilder.h"
#include "ScratchDatabase.h"

#include <QDate>
#include <QStringList>
#include <QVariant>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace valadd {

constexpr qlonglong kUser = 7;

// Object ids the tests build their trees from (user objects: 1000000000 and above).
constexpr qlonglong kSchool = 1000000001;
constexpr qlonglong kClass = 1000000002;
constexpr qlonglong kPupil = 1000000003;
constexpr qlonglong kObj = 1000000100;

// One row of VAL_ADD_AFTER.
struct Result {
    QVariant blobId;
    QVariant refreshFlag;
};

class ValAddAfterTest : public ::testing::Test, protected testsupport::SchoolBuilder {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    testsupport::TestSession& db() override { return *FSession; }

    // Calls the procedure as the product does; the user is kUser, the language "ru".
    Result call(qlonglong param, qlonglong obj, const QVariant& val, const QString& tag,
                int isDel = 0, int processTag = 1, const QVariant& typeId = {});

    // The stand-in's call log since the test began: "NAME(arg, arg, ...)" per call, in order,
    // NULL arguments as "null". VAL_ADD calls appear as the writes they make.
    QStringList calls();
    // The log entries of one procedure only.
    QStringList callsOf(const QString& procedure);
    // Starts the log afresh for the next calls().
    void clearCalls();

    // Test data besides the school's objects, links and values.
    void param(qlonglong paramId, int paramType, qlonglong typeId = 0, const QString& tag = {});
    void resource(qlonglong resId, const QString& text, const QString& longText = {});
    void setOrganisationKind(const QString& kind);
    void setGen(qlonglong gen);

    // The live value of an object's parameter in its table (VALS, VALI, VALF, VALD, VALR, VALL);
    // an invalid QVariant when there is no live row.
    QVariant live(const char* table, qlonglong obj, qlonglong paramId);
    // Runs the calls and expects the server to refuse them with an error whose text holds the
    // message, leaving the value tables and the links as they were.
    void expectRefused(const std::function<void()>& calls, const QString& message);

    // Every row of a value table, live or not, as "param:obj=value:is_del", sorted: a snapshot
    // to compare before and after a refused call.
    QStringList snapshot();

private:
    static std::unique_ptr<testsupport::ScratchDatabase> FDatabase;
    std::unique_ptr<testsupport::TestSession> FSession;
    qlonglong FLogStart = 0;
};

}  // namespace valadd
