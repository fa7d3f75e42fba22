#include "beam/LiveView.h"

// The live view's page: polls /live.json twice a second and the plot every
// five seconds; says so when a poll fails (the console ended, the network is
// lost). Inline style and script only: the counting room may have no other
// network than the console's.
const std::string& liveViewPage() {
    static const std::string page = R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Tarvex live view</title>
<style>
body { font-family: sans-serif; margin: 0; background: #f4f4f4; color: #111; }
#banner { font-size: 2em; font-weight: bold; padding: 0.4em 0.8em; background: #666; color: #fff; }
#banner.on { background: #c00; }
#banner.lost { background: #333; color: #fc0; }
main { display: flex; flex-wrap: wrap; gap: 1em; padding: 1em; }
section { background: #fff; border: 1px solid #ccc; padding: 0.6em 1em; }
h2 { font-size: 1em; margin: 0 0 0.4em 0; color: #555; }
table { border-collapse: collapse; }
td { padding: 0.1em 0.6em 0.1em 0; }
td.v { text-align: right; font-variant-numeric: tabular-nums; font-weight: bold; }
.moving { color: #06c; }
#progress { width: 20em; height: 1em; border: 1px solid #888; background: #eee; }
#bar { height: 100%; width: 0; background: #3a3; }
#plot img { max-width: 900px; width: 100%; }
#time { color: #666; font-size: 0.9em; padding: 0 1em; }
</style>
</head>
<body>
<div id="banner">Waiting for the console...</div>
<div id="time"></div>
<main>
<section><h2>Beam</h2><table>
<tr><td>Ion</td><td class="v" id="ion"></td><td id="beamname"></td></tr>
<tr><td>Energy</td><td class="v" id="energy"></td><td>MeV/u</td></tr>
<tr><td>At the substrate</td><td class="v" id="senergy"></td><td>MeV/u</td></tr>
<tr><td>Effective LET</td><td class="v" id="let"></td><td>MeV&#183;cm&#178;/mg</td></tr>
<tr><td>Nominal LET</td><td class="v" id="nlet"></td><td>MeV&#183;cm&#178;/mg</td></tr>
<tr><td>Effective range</td><td class="v" id="range"></td><td>&#181;m</td></tr>
<tr><td>Nominal range</td><td class="v" id="nrange"></td><td>&#181;m</td></tr>
</table></section>
<section><h2>Degrader and tilt</h2><table>
<tr><td>S</td><td class="v" id="axS"></td><td id="unS"></td><td id="mvS"></td></tr>
<tr><td>R</td><td class="v" id="axR"></td><td id="unR"></td><td id="mvR"></td></tr>
<tr><td>T</td><td class="v" id="axT"></td><td id="unT"></td><td id="mvT"></td></tr>
<tr><td>Shutters</td><td colspan="3" id="shutters"></td></tr>
</table></section>
<section><h2>Campaign step</h2>
<div id="step">No active step</div>
<div id="progress"><div id="bar"></div></div>
</section>
<section id="plot"><h2>Cross section</h2><img id="svg" alt="cross-section plot"></section>
</main>
<script>
"use strict";
var last = null;
function $(id) { return document.getElementById(id); }
function num(v, digits) { return (v === null || v === undefined) ? "\u2013" : Number(v).toPrecision(digits); }
function setText(id, t) { $(id).textContent = t; }
function seconds(run) {
  var begin = Date.parse(run.begin);
  return isNaN(begin) ? null : Math.max(0, Math.round((Date.now() - begin) / 1000));
}
function banner() {
  var b = $("banner");
  if (last === null) return;
  if (last.run) {
    var s = seconds(last.run);
    b.className = "on";
    b.textContent = "BEAM ON \u00b7 run " + last.run.number + (s === null ? "" : " \u00b7 " + s + " s");
  } else {
    b.className = "";
    b.textContent = "Beam off \u00b7 S1 " + last.shutters.S1 + ", S2 " + last.shutters.S2;
  }
}
function show(j) {
  last = j;
  banner();
  setText("time", "As of " + j.time);
  setText("ion", j.beam.ion);
  setText("beamname", j.beam.name);
  setText("energy", num(j.beam.energy, 4));
  setText("senergy", num(j.beam.substrate_energy, 4));
  setText("let", num(j.beam.effective_let, 4));
  setText("nlet", num(j.beam.nominal_let, 4));
  setText("range", num(j.beam.effective_range, 4));
  setText("nrange", num(j.beam.nominal_range, 4));
  ["S", "R", "T"].forEach(function (a) {
    var axis = j.axes[a];
    setText("ax" + a, axis.value === null ? "\u2013" : Number(axis.value).toFixed(3));
    setText("un" + a, axis.unit);
    setText("mv" + a, axis.moving ? "moving" : "");
    $("ax" + a).className = axis.moving ? "v moving" : "v";
  });
  setText("shutters", "S1 " + j.shutters.S1 + ", S2 " + j.shutters.S2);
  var step = j.step;
  if (step) {
    var goal = step.goal, pct = (goal && goal > 0) ? Math.min(100, 100 * step.fluence / goal) : 0;
    setText("step", "Step " + step.name + ": fluence " + Number(step.fluence).toExponential(2) +
      (goal ? " of " + Number(goal).toExponential(2) + " ions/cm\u00b2 (" + Math.floor(pct) + " %)" : " ions/cm\u00b2"));
    $("bar").style.width = pct + "%";
  } else {
    setText("step", "No active step");
    $("bar").style.width = "0";
  }
}
function lost(why) {
  last = null;
  var b = $("banner");
  b.className = "lost";
  b.textContent = "Console not reachable \u2013 " + why;
}
function poll() {
  fetch("/live.json", {cache: "no-store"}).then(function (r) {
    if (!r.ok) throw new Error("live status: " + r.status);
    return r.json();
  }).then(show).catch(function (e) {
    lost(e instanceof TypeError ? "the console has ended or the connection is lost" : e.message);
  });
}
function plot() {
  var img = new Image();
  img.onload = function () { $("svg").src = img.src; };
  img.src = "/cross-section.svg?t=" + Date.now();
}
poll();
plot();
setInterval(poll, 500);
setInterval(banner, 1000);
setInterval(plot, 5000);
</script>
</body>
</html>
)html";
    return page;
}
