// ---- Start-up.
$("contest-name-inp").focus();
const zoomWarning = $("zoom-warning");
if (document.body.scrollWidth > window.innerWidth) {
  zoomWarning.classList.add("active");
  setTimeout(() => zoomWarning.classList.remove("active"), 10000);
}
