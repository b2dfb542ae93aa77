#include "scoring/rankings.h"

#include "scoring/scoring_pass.h"
#include "store/database.h"

namespace {

// Contestants ranked per division: per class type (only with more than one
// class type, never "None"), on reasons (998) and overall (999).
const char kIndivRankingsSql[] = R"sql(SELECT
  division,
  class_type,
  rank,
  score_sum,
  contestant,
  team
FROM (
WITH class_type_count AS (
  SELECT COUNT(*) AS cnt FROM class_types
),
contestant_data AS (
  SELECT
    d.name AS division,
    d.number AS division_number,
    ct.name AS class_type,
    ct.id AS class_type_id,
    c.name AS contestant,
    c.number AS contestant_number,
    t.name AS team,
    SUM(p.total_score) AS total_score_sum,
    SUM(p.reasons_score) AS reasons_score_sum,
    SUM(CASE WHEN p.reasons_score IS NOT NULL THEN p.placing_score ELSE 0 END) AS reasons_placing_sum
  FROM placings p
  JOIN classes cl ON p.class_id = cl.id
  JOIN class_types ct ON cl.type_id = ct.id
  JOIN contestants c ON p.contestant_no = c.number
  JOIN teams t ON c.team_no = t.number
  JOIN divisions d ON t.division_no = d.number
  GROUP BY d.number, ct.id, c.number
),
overall_scores AS (
  SELECT
    division,
    division_number,
    contestant,
    contestant_number,
    team,
    SUM(total_score_sum) AS overall_total_score,
    SUM(reasons_score_sum) AS overall_reasons_score,
    SUM(reasons_placing_sum) AS overall_reasons_placing_sum
  FROM contestant_data
  GROUP BY division_number, contestant_number
)
-- Class type rows (only if more than 1 class type)
SELECT
  division,
  class_type,
  RANK() OVER (
    PARTITION BY division_number, class_type_id
    ORDER BY total_score_sum DESC, reasons_score_sum DESC
  ) AS rank,
  total_score_sum AS score_sum,
  contestant,
  team,
  division_number,
  class_type_id
FROM contestant_data
WHERE (SELECT cnt FROM class_type_count) > 1
AND class_type != 'None'
UNION ALL
-- Reasons rows
SELECT
  division,
  'Reasons' AS class_type,
  RANK() OVER (
    PARTITION BY division_number
    ORDER BY overall_reasons_score DESC, overall_reasons_placing_sum ASC
  ) AS rank,
  overall_reasons_score AS score_sum,
  contestant,
  team,
  division_number,
  998 AS class_type_id
FROM overall_scores
UNION ALL
-- Overall rows
SELECT
  division,
  'Overall' AS class_type,
  RANK() OVER (
    PARTITION BY division_number
    ORDER BY overall_total_score DESC, overall_reasons_score DESC
  ) AS rank,
  overall_total_score AS score_sum,
  contestant,
  team,
  division_number,
  999 AS class_type_id
FROM overall_scores
ORDER BY
  division_number,
  class_type_id,
  rank
);
)sql";

// Teams of type 'Team' ranked on the sums of their best team_size members,
// the members chosen separately for each ranking kind.
const char kTeamRankingsSql[] = R"sql(SELECT
  division,
  class_type,
  rank,
  score_sum,
  team,
  coach
FROM (
WITH class_type_count AS (
  SELECT COUNT(*) AS cnt FROM class_types
),
contestant_data AS (
  SELECT
    d.name AS division,
    d.number AS division_number,
    d.team_size AS team_size,
    ct.name AS class_type,
    ct.id AS class_type_id,
    c.number AS contestant_number,
    t.name AS team,
    t.number AS team_number,
    t.coach AS coach,
    SUM(p.total_score) AS total_score_sum,
    SUM(p.reasons_score) AS reasons_score_sum,
    SUM(CASE WHEN p.reasons_score IS NOT NULL THEN p.placing_score ELSE 0 END) AS reasons_placing_sum
  FROM placings p
  JOIN classes cl ON p.class_id = cl.id
  JOIN class_types ct ON cl.type_id = ct.id
  JOIN contestants c ON p.contestant_no = c.number
  JOIN teams t ON c.team_no = t.number
  JOIN divisions d ON t.division_no = d.number
  WHERE t.type = 'Team'
  GROUP BY d.number, ct.id, c.number
),
overall_scores AS (
  SELECT
    division,
    division_number,
    team_size,
    team,
    team_number,
    coach,
    SUM(total_score_sum) AS overall_total_score,
    SUM(reasons_score_sum) AS overall_reasons_score,
    SUM(reasons_placing_sum) AS overall_reasons_placing_sum
  FROM contestant_data
  GROUP BY division_number, team_number, contestant_number
),
ranked_contestants AS (
  SELECT
    division,
    division_number,
    team_size,
    class_type,
    class_type_id,
    team,
    team_number,
    coach,
    total_score_sum,
    reasons_score_sum,
    ROW_NUMBER() OVER (
      PARTITION BY division_number, class_type_id, team_number
      ORDER BY total_score_sum DESC, reasons_score_sum DESC
    ) AS class_rank
  FROM contestant_data
),
ranked_reasons AS (
  SELECT
    division,
    division_number,
    team_size,
    team,
    team_number,
    coach,
    overall_reasons_score,
    overall_reasons_placing_sum,
    ROW_NUMBER() OVER (
      PARTITION BY division_number, team_number
      ORDER BY overall_reasons_score DESC, overall_reasons_placing_sum ASC
    ) AS reasons_rank
  FROM overall_scores
),
ranked_overall AS (
  SELECT
    division,
    division_number,
    team_size,
    team,
    team_number,
    coach,
    overall_total_score,
    overall_reasons_score,
    ROW_NUMBER() OVER (
      PARTITION BY division_number, team_number
      ORDER BY overall_total_score DESC, overall_reasons_score DESC
    ) AS overall_rank
  FROM overall_scores
)
-- Class type rows (only if more than 1 class type)
SELECT
  division,
  class_type,
  RANK() OVER (
    PARTITION BY division_number, class_type_id
    ORDER BY SUM(total_score_sum) DESC, SUM(reasons_score_sum) DESC
  ) AS rank,
  SUM(total_score_sum) AS score_sum,
  team,
  coach,
  division_number,
  class_type_id
FROM ranked_contestants
WHERE class_rank <= team_size
  AND (SELECT cnt FROM class_type_count) > 1
  AND class_type != 'None'
GROUP BY division_number, class_type_id, team_number
HAVING COUNT(*) = team_size
UNION ALL
-- Reasons rows
SELECT
  division,
  'Reasons' AS class_type,
  RANK() OVER (
    PARTITION BY division_number
    ORDER BY SUM(overall_reasons_score) DESC, SUM(overall_reasons_placing_sum) ASC
  ) AS rank,
  SUM(overall_reasons_score) AS score_sum,
  team,
  coach,
  division_number,
  998 AS class_type_id
FROM ranked_reasons
WHERE reasons_rank <= team_size
GROUP BY division_number, team_number
HAVING COUNT(*) = team_size
UNION ALL
-- Overall rows
SELECT
  division,
  'Overall' AS class_type,
  RANK() OVER (
    PARTITION BY division_number
    ORDER BY SUM(overall_total_score) DESC, SUM(overall_reasons_score) DESC
  ) AS rank,
  SUM(overall_total_score) AS score_sum,
  team,
  coach,
  division_number,
  999 AS class_type_id
FROM ranked_overall
WHERE overall_rank <= team_size
GROUP BY division_number, team_number
HAVING COUNT(*) = team_size
ORDER BY
  division_number,
  class_type_id,
  rank
);
)sql";

std::string run_ranking(const char* sql) {
  // Both rankings read stored scores, so bring them up to date first; a pass
  // with nothing to do costs one query. Scores it could not store must not
  // be ranked as if they were results.
  std::string failure = bring_scores_up_to_date();
  if (!failure.empty()) return failure;
  Statement statement(sql);
  return run_listing(statement);
}

}  // namespace

std::string fetch_indiv_rankings(const std::string&) { return run_ranking(kIndivRankingsSql); }

std::string fetch_team_rankings(const std::string&) { return run_ranking(kTeamRankingsSql); }
