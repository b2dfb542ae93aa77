// ---- Navigation and help.
document.querySelectorAll("nav a").forEach((link) => {
  link.addEventListener("click", async () => {
    document.querySelectorAll("main > section").forEach((s) => s.classList.remove("active"));
    const section = $(link.dataset.page);
    section.classList.add("active");
    const first = section.querySelector('input[type="text"], select');
    if (first) first.focus();
    if (link.dataset.page === "individual-scores") {
      await refreshIndivScores();
    } else if (link.dataset.page === "rankings") {
      await refreshIndivRankings();
      await refreshTeamRankings();
    }
  });
});

document.querySelectorAll(".help-toggle").forEach((button) => {
  button.addEventListener("click", () => $(button.dataset.target).classList.toggle("hidden"));
});
