#include "store/schema.h"

// Numbering rules carried by the triggers: divisions 1000..9000 (id * 1000);
// teams division + 10, + 20, ... up to + 990; contestants team + 1 .. + 9.
// A deleted number is reused only when it was the largest of its group.
const char kSchemaScript[] = R"sql(
PRAGMA foreign_keys = ON;
PRAGMA journal_mode = WAL;
PRAGMA synchronous = NORMAL;
PRAGMA busy_timeout = 5000;

CREATE TABLE IF NOT EXISTS contest (
  id INTEGER PRIMARY KEY CHECK (id = 1),
  name TEXT NOT NULL,
  scored_at TEXT NOT NULL
) STRICT;

CREATE TABLE IF NOT EXISTS divisions (
  id INTEGER PRIMARY KEY CHECK (id < 10),
  name TEXT NOT NULL UNIQUE CHECK (name != ''),
  team_size INTEGER,
  number INTEGER UNIQUE
) STRICT;

CREATE TRIGGER IF NOT EXISTS set_division_number
AFTER INSERT ON divisions
BEGIN
  UPDATE divisions SET number = NEW.id * 1000 WHERE id = NEW.id;
END;

CREATE TABLE IF NOT EXISTS teams (
  id INTEGER PRIMARY KEY,
  division_no INTEGER NOT NULL,
  name TEXT NOT NULL CHECK (name != ''),
  type TEXT NOT NULL,
  coach TEXT,
  number INTEGER UNIQUE,
  UNIQUE (division_no, name),
  FOREIGN KEY (division_no) REFERENCES divisions(number)
) STRICT;

CREATE TRIGGER IF NOT EXISTS check_team_number_limit
BEFORE INSERT ON teams
BEGIN
  SELECT RAISE(ABORT, 'Team number limit reached in this division.')
  WHERE (SELECT COALESCE(MAX(number), 0) % 1000 FROM teams
         WHERE division_no = NEW.division_no) >= 990;
END;

CREATE TRIGGER IF NOT EXISTS set_team_number
AFTER INSERT ON teams
BEGIN
  UPDATE teams SET number = CASE
    WHEN (SELECT COUNT(number) FROM teams WHERE division_no = NEW.division_no) = 0
      THEN NEW.division_no + 10
    ELSE (SELECT MAX(number) FROM teams
          WHERE division_no = NEW.division_no AND id != NEW.id) + 10
  END
  WHERE id = NEW.id;
END;

CREATE TRIGGER IF NOT EXISTS validate_team_requires_size
BEFORE INSERT ON teams
WHEN NEW.type = 'Team'
BEGIN
  SELECT RAISE(ABORT, 'Cannot create Team when division team_size is null.')
  WHERE (SELECT team_size FROM divisions WHERE number = NEW.division_no) IS NULL;
END;

CREATE TRIGGER IF NOT EXISTS validate_team_requires_size_update
BEFORE UPDATE ON teams
WHEN NEW.type = 'Team'
BEGIN
  SELECT RAISE(ABORT, 'Cannot update to Team when division team_size is null.')
  WHERE (SELECT team_size FROM divisions WHERE number = NEW.division_no) IS NULL;
END;

CREATE TRIGGER IF NOT EXISTS validate_division_team_size
BEFORE UPDATE ON divisions
WHEN NEW.team_size IS NULL AND OLD.team_size IS NOT NULL
BEGIN
  SELECT RAISE(ABORT, 'Cannot set team_size to null when Team entries exist.')
  WHERE EXISTS (SELECT 1 FROM teams WHERE division_no = NEW.number AND type = 'Team');
END;

CREATE TABLE IF NOT EXISTS contestants (
  id INTEGER PRIMARY KEY,
  team_no INTEGER NOT NULL,
  name TEXT NOT NULL UNIQUE CHECK (name != ''),
  number INTEGER UNIQUE,
  FOREIGN KEY (team_no) REFERENCES teams(number)
) STRICT;

CREATE TRIGGER IF NOT EXISTS check_contestant_number_limit
BEFORE INSERT ON contestants
BEGIN
  SELECT RAISE(ABORT, 'Contestant number limit reached in this team.')
  WHERE (SELECT COALESCE(MAX(number), 0) % 10 FROM contestants
         WHERE team_no = NEW.team_no) >= 9;
END;

CREATE TRIGGER IF NOT EXISTS set_contestant_number
AFTER INSERT ON contestants
BEGIN
  UPDATE contestants SET number = CASE
    WHEN (SELECT COUNT(number) FROM contestants WHERE team_no = NEW.team_no) = 0
      THEN NEW.team_no + 1
    ELSE (SELECT MAX(number) FROM contestants
          WHERE team_no = NEW.team_no AND id != NEW.id) + 1
  END
  WHERE id = NEW.id;
END;

CREATE TABLE IF NOT EXISTS class_types (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE CHECK (name != '')
) STRICT;

CREATE TABLE IF NOT EXISTS classes (
  id INTEGER PRIMARY KEY,
  type_id INTEGER NOT NULL,
  name TEXT NOT NULL UNIQUE CHECK (name != ''),
  placing INTEGER,
  cuts INTEGER,
  timestamp TEXT NOT NULL,
  FOREIGN KEY (type_id) REFERENCES class_types(id)
) STRICT;

CREATE TABLE IF NOT EXISTS placings (
  id INTEGER PRIMARY KEY,
  class_id INTEGER NOT NULL,
  contestant_no INTEGER NOT NULL,
  placing INTEGER NOT NULL,
  placing_score INTEGER,
  reasons_score INTEGER,
  total_score INTEGER,
  timestamp TEXT NOT NULL,
  UNIQUE (class_id, contestant_no),
  FOREIGN KEY (class_id) REFERENCES classes(id),
  FOREIGN KEY (contestant_no) REFERENCES contestants(number)
) STRICT;
)sql";
