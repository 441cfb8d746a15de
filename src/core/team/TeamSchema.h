// The team library on the server, as --team-init makes it. Plain SQL: a
// member who looks at the database finds the library's own column names.
#pragma once

namespace teamSchema {

inline constexpr const char *Table = "vemo.\"VBcode\"";

// The columns fetched, in this order; the last is "ChangedAt" as
// microseconds since 1970, exact, which serves as the record's version.
inline constexpr const char *SelectColumns =
    "SELECT \"ID\", \"MoudleName\", \"TypeName\", \"CodeName\", \"Code\", \"ChangeTime\", \"IsUsed\", "
    "\"ChangedBy\", (extract(epoch FROM \"ChangedAt\") * 1000000)::bigint FROM vemo.\"VBcode\"";

// The version as a time again, exactly: timestamps are whole microseconds.
#define VEMO_TEAM_VERSION_SQL(param) "(timestamptz 'epoch' + " param "::bigint * interval '1 microsecond')"

// True when every part is there and granted: then initializing changes nothing.
inline constexpr const char *IsCompleteSql =
    "SELECT CASE WHEN to_regclass('vemo.\"VBcode\"') IS NULL THEN false "
    "WHEN to_regprocedure('vemo.stamp_change()') IS NULL THEN false "
    "WHEN to_regprocedure('vemo.announce_change()') IS NULL THEN false "
    "WHEN (SELECT count(*) FROM pg_trigger WHERE tgrelid = to_regclass('vemo.\"VBcode\"') AND tgname IN "
    "('vemo_stamp', 'vemo_announce', 'vemo_announce_truncate')) <> 3 THEN false "
    "WHEN (SELECT count(*) FROM pg_roles WHERE rolname IN ('vemo_reader', 'vemo_editor')) <> 2 THEN false "
    "ELSE has_schema_privilege('vemo_reader', 'vemo', 'USAGE') AND "
    "has_schema_privilege('vemo_editor', 'vemo', 'USAGE') AND "
    "has_table_privilege('vemo_reader', 'vemo.\"VBcode\"', 'SELECT') AND "
    "has_table_privilege('vemo_editor', 'vemo.\"VBcode\"', 'SELECT, INSERT, UPDATE, DELETE') END";

// Each part only where it is missing, in one transaction. "ChangedAt" only
// ever grows for a record, even when the server's clock steps back, so that
// it names each version once.
inline constexpr const char *InitializeSql = R"sql(
BEGIN;
CREATE SCHEMA IF NOT EXISTS vemo;
CREATE TABLE IF NOT EXISTS vemo."VBcode" (
  "ID" bigint PRIMARY KEY,
  "MoudleName" text,
  "TypeName" text,
  "CodeName" text,
  "Code" text,
  "ChangeTime" text,
  "IsUsed" text,
  "ChangedBy" text NOT NULL DEFAULT session_user,
  "ChangedAt" timestamptz NOT NULL DEFAULT clock_timestamp()
);
DO $init$ BEGIN
  IF to_regprocedure('vemo.stamp_change()') IS NULL THEN
    CREATE FUNCTION vemo.stamp_change() RETURNS trigger LANGUAGE plpgsql AS $f$
    BEGIN
      NEW."ChangedBy" := session_user;
      IF TG_OP = 'UPDATE' THEN
        NEW."ChangedAt" := greatest(clock_timestamp(), OLD."ChangedAt" + interval '1 microsecond');
      ELSE
        NEW."ChangedAt" := clock_timestamp();
      END IF;
      RETURN NEW;
    END $f$;
  END IF;
  IF to_regprocedure('vemo.announce_change()') IS NULL THEN
    CREATE FUNCTION vemo.announce_change() RETURNS trigger LANGUAGE plpgsql AS $f$
    BEGIN
      IF TG_OP = 'TRUNCATE' THEN
        PERFORM pg_notify('vemo_team', '*');
        RETURN NULL;
      END IF;
      IF TG_OP <> 'INSERT' THEN
        PERFORM pg_notify('vemo_team', OLD."ID"::text);
      END IF;
      IF TG_OP <> 'DELETE' THEN
        PERFORM pg_notify('vemo_team', NEW."ID"::text);
      END IF;
      RETURN NULL;
    END $f$;
  END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_trigger WHERE tgrelid = 'vemo."VBcode"'::regclass AND tgname = 'vemo_stamp') THEN
    CREATE TRIGGER vemo_stamp BEFORE INSERT OR UPDATE ON vemo."VBcode"
      FOR EACH ROW EXECUTE FUNCTION vemo.stamp_change();
  END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_trigger WHERE tgrelid = 'vemo."VBcode"'::regclass AND tgname = 'vemo_announce') THEN
    CREATE TRIGGER vemo_announce AFTER INSERT OR UPDATE OR DELETE ON vemo."VBcode"
      FOR EACH ROW EXECUTE FUNCTION vemo.announce_change();
  END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_trigger WHERE tgrelid = 'vemo."VBcode"'::regclass
                 AND tgname = 'vemo_announce_truncate') THEN
    CREATE TRIGGER vemo_announce_truncate AFTER TRUNCATE ON vemo."VBcode"
      FOR EACH STATEMENT EXECUTE FUNCTION vemo.announce_change();
  END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'vemo_reader') THEN
    CREATE ROLE vemo_reader NOLOGIN;
  END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'vemo_editor') THEN
    CREATE ROLE vemo_editor NOLOGIN;
  END IF;
END $init$;
GRANT USAGE ON SCHEMA vemo TO vemo_reader, vemo_editor;
GRANT SELECT ON vemo."VBcode" TO vemo_reader;
GRANT SELECT, INSERT, UPDATE, DELETE ON vemo."VBcode" TO vemo_editor;
COMMIT;
)sql";

} // namespace teamSchema
