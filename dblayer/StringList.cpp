#include "StringList.h"

#include <QRegularExpression>

void TStringList::Changing()
{
    if (FUpdateCount == 0 && OnChanging)
        OnChanging();
}

void TStringList::Changed()
{
    if (FUpdateCount == 0 && OnChange)
        OnChange();
}

void TStringList::BeginUpdate()
{
    if (FUpdateCount == 0)
        Changing();
    ++FUpdateCount;
}

void TStringList::EndUpdate()
{
    if (--FUpdateCount == 0)
        Changed();
}

void TStringList::setString(int index, const QString& line)
{
    Changing();
    FLines[index] = line;
    Changed();
}

int TStringList::Add(const QString& line)
{
    Changing();
    FLines.append(line);
    Changed();
    return Count() - 1;
}

void TStringList::Insert(int index, const QString& line)
{
    Changing();
    FLines.insert(index, line);
    Changed();
}

void TStringList::Delete(int index)
{
    Changing();
    FLines.removeAt(index);
    Changed();
}

void TStringList::Clear()
{
    if (FLines.isEmpty())
        return;
    Changing();
    FLines.clear();
    Changed();
}

void TStringList::Assign(const QStringList& lines)
{
    Changing();
    FLines = lines;
    Changed();
}

QString TStringList::Text() const
{
    QString text;
    for (const QString& line : FLines)
        text += line + QStringLiteral("\r\n");
    return text;
}

void TStringList::setText(const QString& text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    QStringList lines = text.split(lineBreak);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    Assign(lines);
}

QString TStringList::Names(int index) const
{
    const QString& line = FLines.at(index);
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.left(eq);
}

QString TStringList::ValueFromIndex(int index) const
{
    const QString& line = FLines.at(index);
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.mid(eq + 1);
}

int TStringList::IndexOfName(const QString& name) const
{
    for (int i = 0; i < Count(); ++i)
        if (Names(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString TStringList::Values(const QString& name) const
{
    const int i = IndexOfName(name);
    return i < 0 ? QString() : ValueFromIndex(i);
}

void TStringList::setValues(const QString& name, const QString& value) { setValueAt(IndexOfName(name), name, value); }

void TStringList::setValueAt(int index, const QString& name, const QString& value)
{
    if (!value.isEmpty()) {
        if (index < 0)
            Add(name + QLatin1Char('=') + value);
        else
            setString(index, name + QLatin1Char('=') + value);
    } else if (index >= 0) {
        Delete(index);
    }
}
