#pragma once
// The peer a Qt developer would pick instead of the layer: Qt's own Firebird SQL driver
// (QIBASE), read through a forward-only QSqlQuery inside one explicit transaction.

#include <QString>

#include <cstdint>

namespace bench {

class QtPeerConnection {
public:
    QtPeerConnection(const QString& databaseName, const QString& user, const QString& password);
    ~QtPeerConnection();
    QtPeerConnection(const QtPeerConnection&) = delete;
    QtPeerConnection& operator=(const QtPeerConnection&) = delete;

    std::int64_t fetch(std::int64_t rows);
    std::int64_t cycles(std::int64_t cycles, std::int64_t tableRows);

private:
    QString FName;
};

}  // namespace bench
