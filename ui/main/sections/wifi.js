// ---- Wi-Fi: works with or without an open contest.
on("wifi-address-btn", async () => {
  const fields = (await hostApi.fetch_wifi_addresses()).split(SEP);
  const blocks = [[$("placing-qrcode"), fields[0], fields[1]], [$("reasons-qrcode"), fields[2], fields[3]]];
  for (const [block, line, svg] of blocks) {
    block.replaceChildren();
    if (fields[0] === "") continue;
    // The card line is shown as text; the host's SVG is the QR code's markup.
    block.insertAdjacentHTML("beforeend", svg || "");
    block.insertBefore(document.createTextNode(line || ""), block.firstChild);
  }
});
