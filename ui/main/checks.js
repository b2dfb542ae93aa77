// ---- Page checks.
const isValidPlacing = (text) => text.split("").sort().join("") === "1234";
const isValidCuts = (text) => /^[0-9]{3}$/.test(text) && text >= "111" && text <= "999";
const isValidReasons = (text) => /^(0|[1-9]|[1-4][0-9]|50)$/.test(text);

function warnCuts(text) {
  let sum = 0;
  for (const ch of text) if (ch >= "0" && ch <= "9") sum += Number(ch);
  const middle = Number(text.charAt(1));
  if (sum > 15) window.alert("The sum of these cuts is greater than 15.");
  else if (sum === 15 && middle > 5) window.alert("The sum of these cuts is 15 and the middle cut is greater than 5.");
  else if (sum === 14 && middle > 8) window.alert("The sum of these cuts is 14 and the middle cut is greater than 8.");
}
