// The team library in a program built without libpq: every operation says so.
#include "TeamServer.h"

namespace team {

bool available() {
    return false;
}

TeamOutcome<QString> checkConnectionString(const QString &) {
    return TeamError::NotBuilt;
}

TeamOutcome<qint64> probe(const QString &) {
    return TeamError::NotBuilt;
}

struct Server::Private {};

Server::Server() : d(std::make_unique<Private>()) {}
Server::~Server() = default;
void Server::close() {}
bool Server::isOpen() const {
    return false;
}
int Server::socket() const {
    return -1;
}
QString Server::user() const {
    return {};
}
TeamOutcome<> Server::open(const QString &, const std::atomic<bool> *) {
    return TeamError::NotBuilt;
}
TeamOutcome<bool> Server::initialize() {
    return TeamError::NotBuilt;
}
TeamOutcome<qint64> Server::count() {
    return TeamError::NotBuilt;
}
TeamOutcome<TeamRecords> Server::fetchAll() {
    return TeamError::NotBuilt;
}
TeamOutcome<TeamRecords> Server::fetch(const QSet<qint64> &) {
    return TeamError::NotBuilt;
}
TeamOutcome<> Server::listen() {
    return TeamError::NotBuilt;
}
TeamOutcome<Changes> Server::takeChanges() {
    return TeamError::NotBuilt;
}
TeamOutcome<TeamRecord> Server::add(const TeamRecord &) {
    return TeamError::NotBuilt;
}
TeamOutcome<TeamRecord> Server::replace(const TeamRecord &) {
    return TeamError::NotBuilt;
}
TeamOutcome<> Server::remove(qint64, qint64) {
    return TeamError::NotBuilt;
}
TeamOutcome<> Server::beginExclusive() {
    return TeamError::NotBuilt;
}
TeamOutcome<> Server::insertAll(const TeamRecords &) {
    return TeamError::NotBuilt;
}
TeamOutcome<> Server::commit() {
    return TeamError::NotBuilt;
}
void Server::rollback() {}

} // namespace team
