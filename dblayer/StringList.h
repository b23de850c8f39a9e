#pragma once
// An ordered list of text lines (unsorted, duplicates allowed) with name=value access and two
// change notifications: OnChanging runs before every change and may refuse it by raising (the
// list is then unchanged), OnChange runs after it. A batch between BeginUpdate and EndUpdate
// notifies once.

#include <QString>
#include <QStringList>

#include <functional>

class TStringList {
public:
    TStringList() = default;
    virtual ~TStringList() = default;
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;

    int Count() const { return static_cast<int>(FLines.size()); }
    const QString& Strings(int index) const { return FLines.at(index); }
    const QString& operator[](int index) const { return FLines.at(index); }
    const QStringList& Lines() const { return FLines; }

    void setString(int index, const QString& line);
    int Add(const QString& line);
    void Insert(int index, const QString& line);
    void Delete(int index);
    void Clear();
    // Replaces every line by those given (one notification pair).
    void Assign(const QStringList& lines);
    void Assign(const TStringList& other) { Assign(other.Lines()); }

    // The lines joined by CR LF, each line followed by one; setText splits at CR LF, LF or CR.
    QString Text() const;
    void setText(const QString& text);

    // The text before the first "="; empty for a line without "=".
    QString Names(int index) const;
    // The text after the first "=", or empty.
    QString ValueFromIndex(int index) const;
    // Index of the first line whose name equals name, ignoring letter case; -1 when none.
    int IndexOfName(const QString& name) const;
    // The value of the line named name (letter case ignored), or empty.
    QString Values(const QString& name) const;
    // Sets name=value, appending the line when absent; an empty value deletes the line.
    void setValues(const QString& name, const QString& value);
    // The line at index (a new one when index < 0) becomes name=value; an empty value deletes it.
    void setValueAt(int index, const QString& name, const QString& value);

    void BeginUpdate();
    void EndUpdate();

    std::function<void()> OnChanging;
    std::function<void()> OnChange;

protected:
    void Changing();
    void Changed();

private:
    QStringList FLines;
    int FUpdateCount = 0;
};
