// ---- Navigation and help.
document.querySelectorAll("nav a").forEach((link) => {
  // The links have no address, so Enter would not press them by itself.
  // The key is used up here, or it would go on to open the focused select.
  link.addEventListener("keydown", (event) => {
    if (event.key !== "Enter") return;
    event.preventDefault();
    link.click();
  });
  link.addEventListener("click", async (event) => {
    document.querySelectorAll("nav a").forEach((a) => a.removeAttribute("aria-current"));
    link.setAttribute("aria-current", "page");
    document.querySelectorAll("main > section").forEach((s) => s.classList.remove("active"));
    const section = $(link.dataset.page);
    section.classList.add("active");
    const first = section.querySelector('input[type="text"], select');
    // A section without a field takes no focus. A mouse click leaves none
    // on the link either; Enter keeps it there, so Tab goes on from it.
    if (first) first.focus();
    else if (event.detail > 0) link.blur();
    if (link.dataset.page === "individual-scores") {
      await refreshIndivScores();
    } else if (link.dataset.page === "rankings") {
      await refreshIndivRankings();
      await refreshTeamRankings();
    } else if (link.dataset.page === "reports") {
      await refreshReports();
    }
  });
});

document.querySelectorAll(".help-toggle").forEach((button) => {
  button.addEventListener("click", () => $(button.dataset.target).classList.toggle("hidden"));
});
