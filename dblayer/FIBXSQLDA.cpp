// TFIBXSQLDA: one descriptor area of a statement (its parameters or its result columns), with
// name lookup and the unique column names.
#include "FIBQuery.h"
#include "fib.h"

namespace {

bool isQuotedName(const QString& name)
{
    return name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'));
}

constexpr int kAliasCapacity = static_cast<int>(sizeof(XSQLVAR::aliasname)) - 1;

}  // namespace

// ================================================================ TFIBXSQLDA

TFIBXSQLDA::TFIBXSQLDA(bool isParams, TFIBQuery* query) : FQuery(query), FIsParams(isParams) {}

TFIBXSQLDA::~TFIBXSQLDA() = default;

void TFIBXSQLDA::setCount(int n)
{
    FNames.clear();
    FEquelNames.clear();
    FCachedNames.clear();
    FCount = qMax(0, n);
    if (FCount > FSize) {
        const size_t bytes = XSQLDA_LENGTH(static_cast<size_t>(FCount));
        FArea.resize((bytes + sizeof(TAreaChunk) - 1) / sizeof(TAreaChunk));
        FXSQLDA = reinterpret_cast<XSQLDA*>(FArea.data());
        FXSQLDA->version = SQLDA_VERSION1;
        for (int i = FSize; i < FCount; ++i)
            FXSQLVARs.push_back(std::make_unique<TFIBXSQLVAR>(this, FQuery));
        for (int i = 0; i < FCount; ++i)
            FXSQLVARs[static_cast<size_t>(i)]->setXSQLVAR(&FXSQLDA->sqlvar[i], i);
        FSize = FCount;
    }
    if (FSize > 0) {
        FXSQLDA->sqln = static_cast<short>(FCount);
        FXSQLDA->sqld = static_cast<short>(FCount);
    }
}

int TFIBXSQLDA::RecordSize() const { return static_cast<int>(XSQLDA_LENGTH(static_cast<size_t>(FSize))) + 4; }

bool TFIBXSQLDA::Modified() const
{
    for (int i = 0; i < FCount; ++i)
        if (FXSQLVARs[static_cast<size_t>(i)]->Modified())
            return true;
    return false;
}

QString TFIBXSQLDA::Names() const
{
    QString text;
    for (int i = 0; i < FCount; ++i)
        text += FXSQLVARs[static_cast<size_t>(i)]->Name() + QStringLiteral("\r\n");
    return text;
}

TFIBXSQLVAR* TFIBXSQLDA::GetXSQLVAR(int index) const
{
    if (index < 0 || index >= FCount)
        RaiseClientError(ceXSQLDAIndexOutOfRange);
    return FXSQLVARs[static_cast<size_t>(index)].get();
}

void TFIBXSQLDA::registerName(const QString& name, int index)
{
    if (FNames.count(name) != 0)
        FEquelNames.emplace(name, index);
    FNames.emplace(name, index);
    FXSQLVARs[static_cast<size_t>(index)]->setName(name);
}

TFIBXSQLVAR* TFIBXSQLDA::findExact(const QString& name) const
{
    const auto it = FNames.find(name);
    return it == FNames.end() ? nullptr : FXSQLVARs[static_cast<size_t>(it->second)].get();
}

TFIBXSQLVAR* TFIBXSQLDA::GetXSQLVARByName(const QString& name)
{
    if (const auto cached = FCachedNames.find(name); cached != FCachedNames.end())
        return cached->second;
    TFIBXSQLVAR* found = nullptr;
    if (isQuotedName(name)) {
        found = findExact(name.mid(1, name.size() - 2));
    } else {
        found = findExact(name);
        if (found == nullptr)
            found = findExact(UpperAscii(name));
    }
    if (found == nullptr && FQuery != nullptr && this == FQuery->FUserSQLParams.get()) {
        // Names the macros brought into the server text live in the server parameters.
        if (FQuery->FMacroChanged)
            FQuery->ApplyMacro();
        return FQuery->FSQLParams->GetXSQLVARByName(name);
    }
    if (found != nullptr)
        FCachedNames[name] = found;
    return found;
}

int TFIBXSQLDA::IndexOfName(const QString& name)
{
    const TFIBXSQLVAR* var = GetXSQLVARByName(name);
    return var != nullptr && var->Parent() == this ? var->Index() : -1;
}

TFIBXSQLVAR* TFIBXSQLDA::ParamByName(const QString& name)
{
    TFIBXSQLVAR* var = GetXSQLVARByName(name);
    if (var == nullptr)
        throw Exception(Format(QStringLiteral("Parameter \"%s\" does not exist in %s"), {name, CmpFullName(FQuery)}));
    return var;
}

// The longest start of name that, followed by reserve bytes, fits the alias field once encoded.
QString TFIBXSQLDA::fittedName(const TFIBXSQLVAR& var, QString name, int reserve)
{
    while (!name.isEmpty() && var.encodeText(name).size() + reserve > kAliasCapacity)
        name.chop(name.size() >= 2 && name.back().isLowSurrogate() ? 2 : 1);
    return name;
}

// The name itself when no entry has it yet, else the name, shortened to fit the alias field,
// with the smallest number that makes it unique.
QString TFIBXSQLDA::uniqueName(const TFIBXSQLVAR& var, const QString& name) const
{
    if (FNames.count(name) == 0)
        return name;
    for (int suffix = 1;; ++suffix) {
        const QString tail = QString::number(suffix);
        const QString candidate = fittedName(var, name, static_cast<int>(tail.size())) + tail;
        if (FNames.count(candidate) == 0)
            return candidate;
    }
}

void TFIBXSQLDA::Initialize()
{
    const bool naming = FNames.empty();
    int unnamed = 0;
    FHasDefferedSettings = false;
    for (int i = 0; i < FCount; ++i) {
        TFIBXSQLVAR& var = *FXSQLVARs[static_cast<size_t>(i)];
        XSQLVAR& x = *var.FXSQLVAR;
        if (FIsParams)
            x.sqltype = static_cast<short>(x.sqltype | 1);  // every parameter can be sent as null
        if (naming) {
            const QString alias = var.AliasName();
            const QString name =
                uniqueName(var, alias.isEmpty() ? QStringLiteral("F_") + QString::number(++unnamed) : alias);
            if (name != alias) {
                const QByteArray bytes = var.encodeText(name);
                std::memset(x.aliasname, 0, sizeof x.aliasname);
                std::memcpy(x.aliasname, bytes.constData(), static_cast<size_t>(bytes.size()));
                x.aliasname_length = static_cast<short>(bytes.size());
            }
            registerName(name, i);
        }
        var.takeServerDescription();
        if (var.FIsDefferedSetting)
            var.applyDeferredSetting();
    }
}

void TFIBXSQLDA::ClearValues()
{
    for (int i = 0; i < FCount; ++i) {
        TFIBXSQLVAR& var = *FXSQLVARs[static_cast<size_t>(i)];
        if (var.FIsMacro) {
            var.FMacroValue = var.FDefMacroValue;
            continue;
        }
        var.FIsDefferedSetting = false;
        var.FDeferredValue = QVariant();
        var.FHasStream = false;
        var.FStreamValue.clear();
        if (var.FXSQLVAR->sqlind != nullptr)
            *var.FXSQLVAR->sqlind = -1;
    }
    FHasDefferedSettings = false;
}

void TFIBXSQLDA::ClearModified()
{
    for (int i = 0; i < FCount; ++i)
        FXSQLVARs[static_cast<size_t>(i)]->FModified = false;
}

void TFIBXSQLDA::ApplyDeferredSettings()
{
    if (!FHasDefferedSettings)
        return;
    for (int i = 0; i < FCount; ++i)
        FXSQLVARs[static_cast<size_t>(i)]->applyDeferredSetting();
    FHasDefferedSettings = false;
}

void TFIBXSQLDA::AssignValues(const TFIBXSQLDA& source)
{
    for (int i = 0; i < FCount; ++i) {
        TFIBXSQLVAR& target = *FXSQLVARs[static_cast<size_t>(i)];
        const TFIBXSQLVAR* src = source.findExact(target.Name());
        if (src == nullptr || target.FIsMacro)
            continue;
        if (src->FIsMacro) {
            target.setAsVariant(src->FMacroValue);
        } else if (src->IsNull()) {
            target.setAsVariant(QVariant());
        } else if (src->FIsDefferedSetting) {
            target.setAsVariant(src->FDeferredValue);
        } else if (src->SQLType() == target.SQLType() && src->Scale() == target.Scale()
                   && src->Size() == target.Size() && target.Data() != nullptr && src->Data() != nullptr
                   && (src->IsBlob() || src->SQLType() == SQL_INT64 || src->SQLType() == SQL_QUAD)) {
            // Identifiers and 64-bit integers go as stored, so no precision is lost.
            std::memcpy(target.Data(), src->Data(), static_cast<size_t>(src->Size()));
            target.markSet();
        } else {
            target.setAsVariant(src->AsVariant());
        }
    }
}

void TFIBXSQLDA::rebuildFrom(const std::vector<TSQLReference>& refs, QChar macroChar)
{
    // Entries whose names stay move over with their values; the others go.
    std::vector<std::unique_ptr<TFIBXSQLVAR>> old = std::move(FXSQLVARs);
    std::vector<XSQLVAR> oldVars;
    for (int i = 0; i < FSize; ++i)
        oldVars.push_back(FXSQLDA->sqlvar[i]);
    std::map<QString, int> oldByName;
    for (int i = 0; i < FCount; ++i) {
        const TFIBXSQLVAR& var = *old[static_cast<size_t>(i)];
        if (!var.IsBlob())
            oldByName.emplace(var.Name(), i);
    }
    const int n = static_cast<int>(refs.size());
    std::vector<std::unique_ptr<TFIBXSQLVAR>> entries;
    std::vector<XSQLVAR> vars;
    std::vector<QString> names;
    for (const TSQLReference& ref : refs) {
        QString name;
        QString defaultValue;
        bool defaultQuoted = false;
        if (ref.isMacro) {
            const TMacroParts parts = SplitMacroText(ref.name, macroChar);
            name = parts.name;
            defaultValue = parts.defaultValue;
            defaultQuoted = parts.defaultQuoted;
        } else {
            name = ref.quoted ? ref.name : UpperAscii(ref.name);
        }
        std::unique_ptr<TFIBXSQLVAR> var;
        XSQLVAR x{};
        if (const auto it = oldByName.find(name); it != oldByName.end() && old[static_cast<size_t>(it->second)]) {
            var = std::move(old[static_cast<size_t>(it->second)]);
            x = oldVars[static_cast<size_t>(it->second)];
        } else {
            var = std::make_unique<TFIBXSQLVAR>(this, FQuery);
        }
        if (var->FIsMacro != ref.isMacro) {  // the same name changed its kind: start afresh
            var = std::make_unique<TFIBXSQLVAR>(this, FQuery);
            x = XSQLVAR{};
        }
        var->setReference(ref);
        if (ref.isMacro) {
            var->FQuoted = defaultQuoted;
            if (var->FDefMacroValue != defaultValue || var->FMacroValue.isEmpty())
                var->FMacroValue = defaultValue;
            var->FDefMacroValue = defaultValue;
        } else if (x.sqltype == 0) {
            x.sqltype = 1;  // a parameter starts null with no type
        }
        entries.push_back(std::move(var));
        vars.push_back(x);
        names.push_back(name);
    }
    FXSQLVARs = std::move(entries);
    FSize = 0;
    FArea.clear();
    FXSQLDA = nullptr;
    FNames.clear();
    FEquelNames.clear();
    FCachedNames.clear();
    FCount = 0;
    if (n > 0) {
        const size_t bytes = XSQLDA_LENGTH(static_cast<size_t>(n));
        FArea.assign((bytes + sizeof(TAreaChunk) - 1) / sizeof(TAreaChunk), TAreaChunk{});
        FXSQLDA = reinterpret_cast<XSQLDA*>(FArea.data());
        FXSQLDA->version = SQLDA_VERSION1;
        FXSQLDA->sqln = FXSQLDA->sqld = static_cast<short>(n);
        for (int i = 0; i < n; ++i) {
            FXSQLDA->sqlvar[i] = vars[static_cast<size_t>(i)];
            FXSQLVARs[static_cast<size_t>(i)]->setXSQLVAR(&FXSQLDA->sqlvar[i], i);
        }
        FSize = n;
        FCount = n;
        for (int i = 0; i < n; ++i)
            registerName(names[static_cast<size_t>(i)], i);
    }
    // Parameters of one name carry one value: a later one takes the first one's value.
    for (int i = 0; i < n; ++i) {
        TFIBXSQLVAR& var = *FXSQLVARs[static_cast<size_t>(i)];
        TFIBXSQLVAR* first = findExact(var.Name());
        if (first != &var && !var.FIsMacro && !first->FIsMacro && !first->IsNull()) {
            var.FDeferredValue = first->AsVariant();
            var.FIsDefferedSetting = true;
            FHasDefferedSettings = true;
        }
    }
}
