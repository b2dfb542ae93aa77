// The behaviour both phone cards share. A card page calls cardPage once with
// what is its own:
//   name: the id stem of its entry section, input and button ("placing")
//   namesPath: where the names of a contestant and class are asked for
//   savePath: where the entry is saved
//   isValid(text): whether the trimmed entry may be sent
//   invalidMessage: shown when it may not
//   extraLines(parts): lines shown under the two names, from the names reply
//   stored (optional): when a submission is refused, the card is looked up
//     again at stored.path and, if the reply's third field holds the stored
//     entry, stored.message(entry) is shown instead of the bare failure
var cardPage = (function () {
  'use strict';

  // Fields of a request or reply are separated by the unit separator.
  var SEPARATOR = '\u001f';

  function isCardNumber(text) {
    return /^[1-9][0-9]*$/.test(text);
  }

  // look: '' (neutral), 'success' or 'error'; lines are shown as text, one per line.
  function showBox(box, textElement, lines, look) {
    textElement.textContent = '';
    lines.forEach(function (line, index) {
      if (index > 0) textElement.appendChild(document.createElement('br'));
      textElement.appendChild(document.createTextNode(line));
    });
    box.className = look ? 'info-display ' + look : 'info-display';
  }

  function hideBox(box, textElement) {
    textElement.textContent = '';
    box.className = 'info-display hidden';
  }

  // The card server's answer to a phone over its request limit.
  var TOO_MANY_REQUESTS = 429;
  var TOO_MANY_MESSAGE = 'Too many requests. Wait a minute and try again.';

  function failureMessage(error) {
    return 'Error: ' + (error instanceof Error ? error.message : String(error));
  }

  // Resolves with the reply text of a 2xx answer; rejects with the server's
  // JSON `error` member (or "Request failed") otherwise.
  function postFields(path, fields) {
    return fetch(path, {
      method: 'POST',
      headers: { 'Content-Type': 'text/plain' },
      body: fields.join(SEPARATOR),
      cache: 'no-store'
    }).then(function (response) {
      return response.text().then(function (text) {
        if (response.ok) return text;
        if (response.status === TOO_MANY_REQUESTS) throw new Error(TOO_MANY_MESSAGE);
        var message = 'Request failed';
        try {
          var parsed = JSON.parse(text);
          if (parsed && typeof parsed.error === 'string' && parsed.error !== '') message = parsed.error;
        } catch (ignored) {
          // not JSON: keep the general message
        }
        throw new Error(message);
      });
    });
  }

  return function (card) {
    var contestantInput = document.getElementById('contestant-number-inp');
    var classInput = document.getElementById('class-number-inp');
    var entryInput = document.getElementById(card.name + '-inp');
    var entrySection = document.getElementById(card.name + '-section');
    var infoBox = document.getElementById('info-box');
    var infoText = document.getElementById('info-text');
    var successBox = document.getElementById('success-box');
    var successText = document.getElementById('success-text');

    // Raised whenever the numbers on screen stop matching a request in flight,
    // so that a late reply cannot show names (or a verdict) for other numbers.
    var generation = 0;
    // The generation of the entry request in flight, so a double tap sends once.
    var entryInFlight = -1;

    function resetBelowNumbers() {
      generation += 1;
      hideBox(infoBox, infoText);
      hideBox(successBox, successText);
      entryInput.value = '';
      entrySection.classList.add('hidden');
    }

    function submitNumbers() {
      resetBelowNumbers();
      var contestant = contestantInput.value.trim();
      var classNumber = classInput.value.trim();
      if (contestant === '' || classNumber === '') {
        showBox(infoBox, infoText, ['Please enter both numbers.'], 'error');
        return;
      }
      if (!isCardNumber(contestant) || !isCardNumber(classNumber)) {
        showBox(infoBox, infoText, ['Please enter a valid number.'], 'error');
        return;
      }
      var sent = generation;
      postFields(card.namesPath, [contestant, classNumber]).then(function (reply) {
        if (sent !== generation) return;
        if (reply.indexOf('ERROR:') === 0) throw new Error(reply.slice(6));
        var parts = reply.split(SEPARATOR);
        var contestantName = parts[0];
        var className = parts.length > 1 ? parts[1] : '';
        if (contestantName === '' || className === '') {
          showBox(infoBox, infoText, ['One of your numbers is incorrect.'], 'error');
        } else if (contestantName === 'None') {
          showBox(infoBox, infoText, [className], 'error');
        } else {
          showBox(infoBox, infoText, [contestantName, className].concat(card.extraLines(parts)), '');
          entrySection.classList.remove('hidden');
        }
      }).catch(function (error) {
        if (sent === generation) showBox(infoBox, infoText, [failureMessage(error)], 'error');
      });
    }

    // What a refused submission shows: the entry already stored for these
    // numbers, when the card says how to find it and one is stored (another
    // phone's, or this phone's own first try whose answer was lost), else
    // the bare failure.
    function refusalLine(contestant, classNumber) {
      var failed = 'Submission failed.';
      if (!card.stored) return Promise.resolve(failed);
      return postFields(card.stored.path, [contestant, classNumber]).then(function (reply) {
        var parts = reply.indexOf('ERROR:') === 0 ? [] : reply.split(SEPARATOR);
        return parts.length > 2 && parts[2] !== '' ? card.stored.message(parts[2]) : failed;
      }, function () {
        return failed;
      });
    }

    function submitEntry() {
      if (entryInFlight === generation) return;
      var contestant = contestantInput.value.trim();
      var classNumber = classInput.value.trim();
      var entry = entryInput.value.trim();
      if (!card.isValid(entry)) {
        showBox(successBox, successText, [card.invalidMessage], 'error');
        return;
      }
      var sent = generation;
      entryInFlight = sent;
      postFields(card.savePath, [contestant, classNumber, entry]).then(function (reply) {
        if (sent !== generation) return undefined;
        if (reply === 'true') {
          showBox(successBox, successText, ['Submitted.'], 'success');
          return undefined;
        }
        return refusalLine(contestant, classNumber).then(function (line) {
          if (sent === generation) showBox(successBox, successText, [line], 'error');
        });
      }).catch(function (error) {
        if (sent === generation) showBox(successBox, successText, [failureMessage(error)], 'error');
      }).then(function () {
        if (entryInFlight === sent) entryInFlight = -1;
      });
    }

    // Touching a number after the names are shown starts over, so an entry
    // only goes out for the numbers whose names are on the screen.
    function onNumberFocus(event) {
      if (entrySection.classList.contains('hidden')) return;
      event.target.value = '';
      resetBelowNumbers();
    }

    // Typing a different number makes a reply still on its way stale, and
    // hides names that no longer match the numbers.
    function onNumberInput() {
      if (entrySection.classList.contains('hidden')) {
        generation += 1;
      } else {
        resetBelowNumbers();
      }
    }

    contestantInput.addEventListener('focus', onNumberFocus);
    classInput.addEventListener('focus', onNumberFocus);
    contestantInput.addEventListener('input', onNumberInput);
    classInput.addEventListener('input', onNumberInput);
    document.getElementById('submit-numbers-btn').addEventListener('click', submitNumbers);
    document.getElementById('submit-' + card.name + '-btn').addEventListener('click', submitEntry);
  };
}());
