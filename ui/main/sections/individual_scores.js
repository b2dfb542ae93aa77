// ---- Individual scores.
const refreshIndivScores = () => refreshTable({
  command: "fetch_indiv_scores", bodyId: "indiv-scores-body", size: 8,
  cells: (f) => f
});
