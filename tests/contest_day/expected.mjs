// What the organiser should see after a contest, worked out here from the
// scoring and ranking rules alone, so that the application's own scoring is
// checked against a second, separately written reading of the rules.

// Placing score out of 50: every pair of items that the contestant put in the
// wrong order costs the cuts lying between the two items' official places.
export function placingScore(placing, official, cuts) {
  if (placing === '0') return 0;
  const officialPlace = new Map([...official].map((item, place) => [item, place]));
  const contestantPlace = new Map([...placing].map((item, place) => [item, place]));
  const gaps = [...cuts].map(Number);  // top, middle, bottom pair
  let score = 50;
  for (const [higher, upper] of officialPlace) {
    for (const [lower, under] of officialPlace) {
      if (upper >= under) continue;
      if (contestantPlace.get(lower) < contestantPlace.get(higher)) {
        for (let gap = upper; gap < under; ++gap) score -= gaps[gap];
      }
    }
  }
  return Math.max(score, 0);
}

// SQL's SUM: missing values are skipped, and nothing but missing values is null.
function sum(values) {
  const present = values.filter((value) => value !== null);
  return present.length === 0 ? null : present.reduce((a, b) => a + b, 0);
}

// Orders by keys; `desc` keys put a null last, ascending ones put it first.
function compareKeys(a, b, directions) {
  for (let i = 0; i < directions.length; ++i) {
    const [x, y] = [a[i], b[i]];
    if (x === y) continue;
    const sign = directions[i] === 'desc' ? -1 : 1;
    if (x === null) return -sign;
    if (y === null) return sign;
    return x < y ? -sign : sign;
  }
  return 0;
}

// Competition ranks (1, 1, 3): one more than the number of entries ahead.
function ranked(entries, directions) {
  return entries.map((entry) => ({
    ...entry,
    rank: 1 + entries.filter((other) => compareKeys(other.keys, entry.keys, directions) < 0).length,
  }));
}

const CLASS_TYPE_KEYS = ['desc', 'desc'];
const REASONS_KEYS = ['desc', 'asc'];
const OVERALL_KEYS = ['desc', 'desc'];

// Every placing with its scores, as the Individual Scores table lists them.
export function scoredPlacings(contest) {
  return contest.placings.map((p) => {
    const cls = contest.classes.find((c) => c.id === p.classId);
    const score = placingScore(p.placing, cls.placing, cls.cuts);
    return { ...p, cls, placingScore: score, total: score + (p.reasons ?? 0) };
  });
}

export function individualScoreRows(contest) {
  const byNumber = new Map(contest.contestants.map((c) => [c.number, c]));
  return scoredPlacings(contest)
    .map((p) => ({ name: byNumber.get(p.contestant).name, p }))
    .sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : a.p.classId - b.p.classId))
    .map(({ name, p }) => [name, String(p.contestant), p.cls.name, String(p.classId), p.placing,
      String(p.placingScore), p.reasons === null ? '' : String(p.reasons), String(p.total)]);
}

// Per contestant: the three sums for each class type and over all of them.
function contestantSums(contest) {
  const scored = scoredPlacings(contest);
  const teams = new Map(contest.teams.map((t) => [t.number, t]));
  return contest.contestants.map((c) => {
    const own = scored.filter((p) => p.contestant === c.number);
    const sums = (placings) => ({
      total: sum(placings.map((p) => p.total)),
      reasons: sum(placings.map((p) => p.reasons)),
      reasonsPlacing: sum(placings.map((p) => (p.reasons === null ? 0 : p.placingScore))),
      count: placings.length,
    });
    const byType = new Map(contest.classTypes.map((type) =>
      [type.id, sums(own.filter((p) => p.cls.typeId === type.id))]));
    // Overall sums add up the per-type sums, nulls skipped the same way.
    const present = [...byType.values()].filter((s) => s.count > 0);
    const overall = {
      total: sum(present.map((s) => s.total)),
      reasons: sum(present.map((s) => s.reasons)),
      reasonsPlacing: sum(present.map((s) => s.reasonsPlacing)),
      count: own.length,
    };
    return { ...c, team: teams.get(c.team), byType, overall };
  });
}

// The ranking kinds of a division: class types (when there is more than one,
// never "None"), then Reasons, then Overall. Each gives the keys of a member.
function rankingKinds(contest) {
  const kinds = [];
  if (contest.classTypes.length > 1) {
    for (const type of [...contest.classTypes].sort((a, b) => a.id - b.id)) {
      if (type.name === 'None') continue;
      kinds.push({ category: type.name, directions: CLASS_TYPE_KEYS,
        sums: (c) => c.byType.get(type.id), keys: (s) => [s.total, s.reasons] });
    }
  }
  kinds.push({ category: 'Reasons', directions: REASONS_KEYS,
    sums: (c) => c.overall, keys: (s) => [s.reasons, s.reasonsPlacing] });
  kinds.push({ category: 'Overall', directions: OVERALL_KEYS,
    sums: (c) => c.overall, keys: (s) => [s.total, s.reasons] });
  return kinds;
}

const caption = (word, division, category) =>
  division === 'None' ? `${word} ${category}` : `${word} ${division} ${category}`;

const text = (value) => (value === null ? '' : String(value));

// The individual ranking tables: { caption, rows: [rank, score, name, team] }.
export function individualRankingTables(contest) {
  const everyone = contestantSums(contest);
  const tables = [];
  for (const division of [...contest.divisions].sort((a, b) => a.number - b.number)) {
    const members = everyone.filter((c) => c.team.division === division.number && c.overall.count > 0);
    for (const kind of rankingKinds(contest)) {
      const entries = members.filter((c) => kind.sums(c).count > 0)
        .map((c) => ({ c, keys: kind.keys(kind.sums(c)) }));
      if (entries.length === 0) continue;
      tables.push({
        caption: caption('Individual', division.name, kind.category),
        rows: ranked(entries, kind.directions)
          .map((e) => [String(e.rank), text(e.keys[0]), e.c.name, e.c.team.name]),
      });
    }
  }
  return tables;
}

// The team ranking tables: only teams of type Team, each counted by its best
// `team size` members for that ranking, and only when it has that many.
export function teamRankingTables(contest) {
  const everyone = contestantSums(contest);
  const tables = [];
  for (const division of [...contest.divisions].sort((a, b) => a.number - b.number)) {
    const teams = contest.teams.filter((t) => t.division === division.number && t.type === 'Team');
    for (const kind of rankingKinds(contest)) {
      const entries = [];
      for (const team of teams) {
        const members = everyone.filter((c) => c.team.number === team.number && kind.sums(c).count > 0)
          .map((c) => kind.keys(kind.sums(c)))
          .sort((a, b) => compareKeys(a, b, kind.directions));
        if (division.teamSize === null || members.length < division.teamSize) continue;
        const counted = members.slice(0, division.teamSize);
        entries.push({ team, keys: [sum(counted.map((k) => k[0])), sum(counted.map((k) => k[1]))] });
      }
      if (entries.length === 0) continue;
      tables.push({
        caption: caption('Team', division.name, kind.category),
        rows: ranked(entries, kind.directions)
          .map((e) => [String(e.rank), text(e.keys[0]), e.team.name, e.team.coach]),
      });
    }
  }
  return tables;
}

// Rows of equal rank come in no fixed order; this puts them in one.
export function inRankOrder(tables) {
  return tables.map((t) => ({
    caption: t.caption,
    rows: [...t.rows].sort((a, b) => Number(a[0]) - Number(b[0]) || (a[2] < b[2] ? -1 : a[2] > b[2] ? 1 : 0)),
  }));
}
