#include "devserver/session/engine_impl.h"

#include "devserver/sql/errors.h"

#include <QFile>
#include <QUuid>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace ztds {

namespace fs = std::filesystem;

namespace {

const QString masterName = QStringLiteral("master");

ServerMessage loginFailed(const QString& user) {
    return sql::makeMessage(18456, 14, 1, QStringLiteral("Login failed for user '%1'.").arg(user));
}

// A login whose initial database cannot be opened fails with 4060, then 18456.
void addCannotOpenDatabase(std::vector<ServerMessage>& messages, const QString& database,
                           const QString& user) {
    messages.push_back(sql::makeMessage(
        4060, 11, 1,
        QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.")
            .arg(database)));
    messages.push_back(loginFailed(user));
}

} // namespace

Engine::Impl::Impl(EngineConfig c) : config(std::move(c)) {}

fs::path Engine::Impl::pathFor(const QString& name) const {
    return config.dataDirectory / storage::databaseFileName(name);
}

namespace {

// A rename cut short after the new name was written into the file leaves the file at the old
// name's path: finish the move, so that the database has one name and the old name's path is
// free for a new database. False: another file already sits at the new name's path, and this
// one is left alone.
bool settleAtOwnPath(fs::path& file, const fs::path& ownPath) {
    if (file.filename() == ownPath.filename())
        return true;
    std::error_code ec;
    if (fs::exists(ownPath, ec))
        return false;
    storage::removeJournalFiles(ownPath);
    storage::renameWithoutReplacing(file, ownPath);
    storage::removeJournalFiles(file);
    storage::syncDirectory(ownPath.parent_path());
    file = ownPath;
    return true;
}

} // namespace

void Engine::Impl::scanDataDirectory() {
    std::vector<fs::path> leftovers;
    std::vector<fs::path> files; // listed first: settling a file renames it in the directory
    for (const auto& entry : fs::directory_iterator(config.dataDirectory)) {
        const std::string fileName = entry.path().filename().string();
        if (fileName.starts_with(".create-") || fileName.starts_with(".restore-") ||
            fileName.starts_with(".backup-")) {
            leftovers.push_back(entry.path()); // an unfinished create, restore or backup
            continue;
        }
        if (entry.is_regular_file() && entry.path().extension() == ".ztdb")
            files.push_back(entry.path());
    }
    for (const fs::path& path : files) {
        DatabaseEntry db;
        try {
            auto file = storage::DatabaseFile::open(path, false);
            db.name = file->meta(QStringLiteral("name"));
            db.id = file->meta(QStringLiteral("database_id")).toLongLong();
            db.family = file->meta(QStringLiteral("family"));
            db.owner = file->meta(QStringLiteral("owner"));
            db.created =
                QDateTime::fromString(file->meta(QStringLiteral("created")), Qt::ISODateWithMs);
        } catch (const storage::StorageError&) {
            continue; // not one of ours, or damaged: leave it alone rather than refuse to start
        }
        db.file = path;
        if (db.name.isEmpty() || !settleAtOwnPath(db.file, pathFor(db.name)))
            continue;
        nextDatabaseId = std::max(nextDatabaseId, db.id + 1);
        databases[storage::foldName(db.name)] = std::move(db);
    }
    std::error_code ec;
    for (const auto& p : leftovers)
        fs::remove(p, ec);
}

namespace {

struct SystemDatabase {
    const char* name;
    int64_t id;
};
// In the order they are made: tempdb last, as a copy of model.
constexpr SystemDatabase systemDatabases[] = {
    {"master", 1}, {"model", 3}, {"msdb", 4}, {"tempdb", 2}};

const QString modelName = QStringLiteral("model");

// A file at a new database's path that the engine does not know (left by hand, or one it
// could not read at start) is kept, as SQL Server keeps a file in the way of CREATE DATABASE.
void refuseFileInTheWay(const fs::path& target) {
    std::error_code ec;
    if (!fs::exists(target, ec))
        return;
    throw sql::SqlError(
        {sql::makeMessage(5170, 16, 1,
                          QStringLiteral("Cannot create file '%1' because it already exists. "
                                         "Change the file path or the file name, and retry the "
                                         "operation.")
                              .arg(QString::fromStdString(target.string()))),
         sql::makeMessage(1802, 16, 4,
                          QStringLiteral("CREATE DATABASE failed. Some file names listed could "
                                         "not be created. Check related errors."))});
}

fs::path temporaryIn(const fs::path& directory) {
    return directory / (".create-" +
                        QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() + ".ztdb");
}

} // namespace

bool hasGuestUser(const QString& foldedName) {
    return foldedName == QLatin1String("master") || foldedName == QLatin1String("tempdb") ||
           foldedName == QLatin1String("msdb");
}

bool mayEnter(Engine::Impl& engine, const Login& login, const QString& key) {
    if (hasGuestUser(key))
        return true;
    std::lock_guard lock(engine.mutex);
    const auto it = engine.databases.find(key);
    return it != engine.databases.end() && isOwner(login, it->second);
}

bool isSystemDatabase(const QString& foldedName) {
    for (const auto& d : systemDatabases)
        if (foldedName == QLatin1String(d.name))
            return true;
    return false;
}

bool Engine::Impl::reserve(const QString& name, int64_t id) {
    std::lock_guard lock(mutex);
    const QString key = storage::foldName(name);
    if (databases.contains(key))
        return false;
    DatabaseEntry& db = databases[key];
    db.name = name;
    db.id = id > 0 ? id : nextDatabaseId++;
    db.family = QUuid::createUuid().toString(QUuid::WithoutBraces);
    db.pending = true;
    return true;
}

void Engine::Impl::forget(const QString& name) {
    std::lock_guard lock(mutex);
    databases.erase(storage::foldName(name));
}

void Engine::Impl::holdFileWork(const char* verb, const QString& name) const {
    using namespace std::chrono_literals;
    std::error_code ec;
    if (config.holdFileWork.empty() || !fs::exists(config.holdFileWork, ec))
        return;
    fs::path heldPath = config.holdFileWork;
    heldPath += ".held";
    {
        // One short append per hold: the test waits for this line, not for the clock.
        QFile held(QString::fromStdString(heldPath.string()));
        if (held.open(QIODevice::WriteOnly | QIODevice::Append))
            held.write(QByteArray(verb) + ' ' + name.toUtf8() + '\n');
    }
    const auto giveUp = std::chrono::steady_clock::now() + 60s;
    while (fs::exists(config.holdFileWork, ec) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(10ms);
}

bool isOwner(const Login& login, const DatabaseEntry& db) {
    if (login.role == Role::SysAdmin)
        return true;
    return !db.owner.isEmpty() && db.owner.compare(login.name, Qt::CaseInsensitive) == 0;
}

void Engine::Impl::createReserved(const QString& name, const QString& owner) {
    DatabaseEntry db;
    {
        std::lock_guard lock(mutex);
        db = databases.at(storage::foldName(name));
    }
    const QString key = storage::foldName(name);
    const fs::path target = pathFor(name);
    const fs::path temporary = temporaryIn(config.dataDirectory);
    db.created = QDateTime::currentDateTime();
    db.owner = owner;
    try {
        // A user database starts as a copy of model, as on SQL Server; so does tempdb.
        DatabaseLease model;
        if (key != QLatin1String("master") && key != modelName && key != QLatin1String("msdb"))
            model = DatabaseLease::acquire(*this, modelName);
        if (model.valid())
            storage::copyDatabaseFile(model.file(), temporary);
        auto file = storage::DatabaseFile::open(temporary, !model.valid());
        storage::DatabaseFile::Transaction t(*file, true);
        file->setMeta(QStringLiteral("name"), db.name);
        file->setMeta(QStringLiteral("database_id"), QString::number(db.id));
        file->setMeta(QStringLiteral("family"), db.family);
        file->setMeta(QStringLiteral("created"), db.created.toString(Qt::ISODateWithMs));
        file->setMeta(QStringLiteral("owner"), owner);
        t.commit();
        file.reset();
        if (!isSystemDatabase(key))
            holdFileWork("CREATE", db.name);
        refuseFileInTheWay(target);
        storage::renameWithoutReplacing(temporary, target);
        storage::syncDirectory(config.dataDirectory);
    } catch (...) {
        storage::removeDatabaseFiles(temporary);
        forget(name);
        throw;
    }
    std::lock_guard lock(mutex);
    DatabaseEntry& slot = databases.at(key);
    slot.file = target;
    slot.created = db.created;
    slot.owner = owner;
    slot.pending = false;
}

void Engine::Impl::createSystemDatabases() {
    // tempdb starts empty at every start, from model.
    {
        auto it = databases.find(QStringLiteral("tempdb"));
        if (it != databases.end()) {
            storage::removeDatabaseFiles(it->second.file);
            databases.erase(it);
        }
    }
    for (const auto& d : systemDatabases) {
        const QString name = QString::fromLatin1(d.name);
        if (reserve(name, d.id))
            createReserved(name);
    }
}

DatabaseLease DatabaseLease::acquire(Engine::Impl& engine, const QString& name) {
    std::lock_guard lock(engine.mutex);
    const QString key = storage::foldName(name);
    auto it = engine.databases.find(key);
    DatabaseLease lease;
    if (it == engine.databases.end())
        return lease;
    if (it->second.restoring || it->second.pending) {
        lease.beingRestored_ = it->second.restoring;
        return lease;
    }
    ++it->second.leases;
    lease.engine_ = &engine;
    lease.key_ = key;
    lease.name_ = it->second.name;
    lease.file_ = it->second.file;
    return lease;
}

DatabaseLease::~DatabaseLease() {
    release();
}

DatabaseLease::DatabaseLease(DatabaseLease&& other) noexcept {
    *this = std::move(other);
}

DatabaseLease& DatabaseLease::operator=(DatabaseLease&& other) noexcept {
    if (this != &other) {
        release();
        engine_ = std::exchange(other.engine_, nullptr);
        beingRestored_ = std::exchange(other.beingRestored_, false);
        key_ = std::move(other.key_);
        name_ = std::move(other.name_);
        file_ = std::move(other.file_);
    }
    return *this;
}

void DatabaseLease::follow(const QString& key, const QString& name, const fs::path& file) {
    key_ = key;
    name_ = name;
    file_ = file;
}

void DatabaseLease::release() {
    if (!engine_)
        return;
    std::lock_guard lock(engine_->mutex);
    auto it = engine_->databases.find(key_);
    if (it != engine_->databases.end())
        --it->second.leases;
    engine_ = nullptr;
}

Engine::Engine(EngineConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {
    std::error_code ec;
    fs::create_directories(impl_->config.dataDirectory, ec);
    if (!fs::is_directory(impl_->config.dataDirectory))
        throw std::runtime_error("data directory " + impl_->config.dataDirectory.string() +
                                 " cannot be created");
    try {
        impl_->scanDataDirectory();
        impl_->createSystemDatabases();
    } catch (const std::exception& e) {
        throw std::runtime_error("data directory " + impl_->config.dataDirectory.string() +
                                 " is not usable: " + e.what());
    }
}

Engine::~Engine() = default;

Engine::LoginOutcome Engine::login(const QString& user, const QString& password,
                                   const QString& database, bool integratedSecurity) {
    LoginOutcome outcome;
    if (integratedSecurity) {
        outcome.messages.push_back(sql::makeMessage(
            18452, 14, 1,
            QStringLiteral("Login failed. The login is from an untrusted domain and cannot be "
                           "used with Integrated authentication.")));
        return outcome;
    }
    const Login* match = nullptr;
    for (const auto& l : impl_->config.logins)
        if (l.name.compare(user, Qt::CaseInsensitive) == 0 && l.password == password)
            match = &l;
    if (!match) {
        outcome.messages.push_back(loginFailed(user));
        return outcome;
    }
    const QString initial = database.isEmpty() ? masterName : database;
    DatabaseLease lease = DatabaseLease::acquire(*impl_, initial);
    if (!lease.valid() || !mayEnter(*impl_, *match, lease.key())) {
        addCannotOpenDatabase(outcome.messages, initial, user);
        return outcome;
    }
    int spid = 0;
    {
        std::lock_guard lock(impl_->mutex);
        spid = impl_->nextSpid++;
        if (impl_->nextSpid > 32000)
            impl_->nextSpid = 51;
    }
    try {
        outcome.session = makeSession(*impl_, *match, spid, std::move(lease));
    } catch (const std::exception&) {
        addCannotOpenDatabase(outcome.messages, initial, user);
    }
    return outcome;
}

} // namespace ztds
