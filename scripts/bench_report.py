#!/usr/bin/env python3
"""Writes BENCHMARKS.md from the results scripts/bench collected.

usage: bench_report.py RESULTS_DIR OUTPUT.md
"""
import datetime
import glob
import json
import os
import platform
import statistics
import subprocess
import sys


def keyvalues(path):
    values = {}
    if not os.path.exists(path):
        return values
    with open(path, encoding="utf-8") as f:
        for line in f:
            if "=" in line and not line.startswith("violation:"):
                k, v = line.rstrip("\n").split("=", 1)
                values[k.strip()] = v.strip()
    return values


def number(v):
    try:
        return float(v)
    except (TypeError, ValueError):
        return None


def ns(seconds_or_ns, unit):
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[unit]
    return seconds_or_ns * scale


def pretty_ns(v):
    if v < 1e3:
        return f"{v:.0f} ns"
    if v < 1e6:
        return f"{v / 1e3:.2f} µs"
    if v < 1e9:
        return f"{v / 1e6:.2f} ms"
    return f"{v / 1e9:.2f} s"


TICK_MS = 800
BEFORE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "bench", "wine", "before.txt")
SPLIT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "bench", "wine", "idle-split.md")


class Run:
    """One program's figures from scripts/bench-wine, per 800 ms tick of the idle minute."""

    def __init__(self, w, who, baseline=None):
        self.w, self.who, self.baseline = w, who, baseline

    def get(self, key):
        return number(self.w.get(f"{self.who}_{key}"))

    @property
    def present(self):
        return self.get("idle_ms") is not None

    def ticks(self, key="idle_ms"):
        v = self.get(key)
        return v / TICK_MS if v else None

    def cpu_ms(self):
        """CPU time over the idle minute: the scheduler's nanoseconds over the live threads where
        they agree with /proc/PID/stat's 10 ms steps (no thread ended meanwhile), else the steps."""
        ns, ms = self.get("idle_cpu_ns"), self.get("idle_cpu_ms")
        if ns is not None and ms is not None and abs(ns / 1e6 - ms) <= 20:
            return ns / 1e6
        return ms

    def cpu_per_tick(self):
        c, t = self.cpu_ms(), self.ticks()
        return None if c is None or not t else c / t

    def other_per_tick(self, key):
        """Another process's CPU time per tick for this program, less what it spends with a
        program that makes no calls (the baseline run)."""
        v, t = self.get(key), self.ticks()
        if v is None or not t:
            return None
        own = v / t
        if self.baseline is not None and self.baseline.get(key) is not None and self.baseline.ticks():
            own -= self.baseline.get(key) / self.baseline.ticks()
        return own

    def calls_per_tick(self):
        g, i, t = self.get("getids"), self.get("invokes"), self.ticks("calls_ms")
        if g is None or i is None or not t:
            return None
        return g / t, i / t

    def requests_per_tick(self, key="requests"):
        """Requests to wineserver per tick, by name (or by thread), from the traced run."""
        text, ms = self.w.get(f"{self.who}_{key}", ""), self.get("requests_ms")
        if not text or not ms:
            return {}
        return counts_per_tick(text, ms / TICK_MS)

    def profile_cpu_per_tick(self):
        """CPU time per tick as perf counted it, sampling at 10 kHz over the seconds after the
        minute: a second look, where nothing of the start-up can fall."""
        n, secs = self.get("profile_samples"), self.get("profile_s")
        if not n or not secs:
            return None
        return n * 0.1 / (secs * 1000 / TICK_MS)

    def syscalls_per_tick(self):
        text, secs = self.w.get(f"{self.who}_syscalls", ""), self.get("syscalls_s")
        if not text or not secs:
            return None
        for part in text.split("|"):
            n, _, name = part.partition(" ")
            if name == "total" and number(n) is not None:
                return number(n) / (secs * 1000 / TICK_MS)
        return None

    def profile(self):
        """CPU time per tick by module, from perf's split of the later seconds."""
        text, cpu = self.w.get(f"{self.who}_profile", ""), self.cpu_per_tick()
        if not text or cpu is None:
            return {}
        split = {}
        for part in text.split("|"):
            pct, _, module = part.partition(" ")
            if number(pct) is not None:
                split[module] = split.get(module, 0) + number(pct) / 100 * cpu
        return split


def fmt(v, digits=2, unit=""):
    return "—" if v is None else f"{v:,.{digits}f}{unit}"


def calls_text(c):
    return "—" if c is None else f"{c[0] + c[1]:.1f} ({c[0]:.1f} + {c[1]:.1f})"


def ratio_verdict(a, b, limit):
    if a is None or b is None or b <= 0:
        return "—", "not measured"
    r = a / b
    return f"{r:.2f}×", ("met" if r <= limit else f"**missed** by {r - limit:.2f}× (see below)")


def module_split(bridge, floor, tick_extra):
    """The modules where linkwell.exe spends more per tick than the floor, largest first."""
    pb, pf = bridge.profile(), floor.profile()
    if not pb or not pf:
        return ""
    rows = sorted(((pb.get(m, 0) - pf.get(m, 0), m) for m in set(pb) | set(pf)), reverse=True)
    shown = [f"{m} +{d:.3f} ms" for d, m in rows if d >= 0.01][:5]
    if not shown:
        return ""
    return (f" Split by module (perf, {bridge.get('profile_samples') or 0:.0f} and {floor.get('profile_samples') or 0:.0f} "
            f"samples over {bridge.get('profile_s') or 0:.0f} s after the measured minute), the extra "
            f"{tick_extra:.3f} ms per tick lies in: " + ", ".join(shown)
            + " ([kernel.kallsyms] is time in the kernel: system calls, page faults, scheduling).")


def udp_rows(udp, bridge, watching):
    """The idle tick of linkwell.exe --udp against the same without it and the floor noticing closed
    peers, which it must stay within."""
    if not udp.present:
        return []
    a, w_ = udp.cpu_per_tick(), watching.cpu_per_tick()
    ok = a is not None and w_ is not None and a <= w_
    md = ["#### With `--udp`", "",
          "linkwell.exe started by the peers as above, with `--udp 127.0.0.1:2237` (nobody listening: "
          "what the bridge does is the same), measured the same way: every 15 s the socket is read once "
          "and a Heartbeat sent; the idle Status does not change, so none goes.", "",
          "| Per idle tick | linkwell.exe | linkwell.exe --udp | floor noticing closed peers | Target | |",
          "|---|---|---|---|---|---|",
          f"| CPU time of the program (ms) | {fmt(bridge.cpu_per_tick(), 3)} | {fmt(a, 3)} | {fmt(w_, 3)} | "
          f"≤ the floor noticing closed peers | {verdict(ok, 'by %s ms' % fmt((a or 0) - (w_ or 0), 3))} |",
          f"| system calls (strace) | {fmt(bridge.syscalls_per_tick(), 1)} | {fmt(udp.syscalls_per_tick(), 1)} | "
          f"{fmt(watching.syscalls_per_tick(), 1)} | | |",
          f"| private bytes, resident (kB) | {fmt(bridge.get('private_kb'), 0)} | {fmt(udp.get('private_kb'), 0)} | "
          f"{fmt(watching.get('private_kb'), 0)} | | |", ""]
    return md


def floor_section(w, before):
    """The idle linked tick of linkwell.exe against the floor program; returns markdown lines."""
    noreads = Run(w, "noreads")
    base = noreads if noreads.present else None
    bridge, floor, bare = Run(w, "bridge", base), Run(w, "floor", base), Run(w, "minimal")
    watching = Run(w, "floorwatch", base)
    old = None
    if before:
        old_base = Run(before, "noreads")
        old = Run(before, "bridge", old_base if old_base.present else None)
    md = []
    if not bridge.present or not floor.present:
        md.append("The floor was not measured.")
        return md
    md.append("### An idle linked tick, against the floor")
    md.append("")
    md.append("The floor (bench/wine/floor.cpp) is built like the other programs and started by the stand-in "
              "peers in the bridge's place; it does only what an idle linked tick cannot avoid: every 800 ms "
              "it reads `FqA` and `AudioFq` from the same stand-in MixW2 object (one `Invoke` each, member "
              "ids asked once). Figures are per tick of the idle minute. The CPU time of the stand-in "
              "MixW2 (the peers process) and of wineserver is what they spent beyond a run of the floor "
              "that makes no calls at all "
              + (f"({fmt(noreads.other_per_tick('peers_idle_cpu_ms'), 3)} ms and "
                 f"{fmt(noreads.other_per_tick('wineserver_idle_cpu_ms'), 3)} ms per tick there, "
                 "the peers' own 20 ms loop)" if base else "(not measured: shown whole)")
              + ". The calls are counted in the stand-in MixW2 object. The floor noticing closed peers "
              "is the same program (`LINKWELL_FLOOR_WATCH=yes`) that also notices within 2 s that Logger32 or "
              "MixW2 has closed, as cheaply as that can be done: a closed MixW2 fails the tick's next read, "
              "and each tick looks once whether Logger32's window is still there; it is what the guarantee "
              "costs at the least, and the targets stay against the plain floor."
              + (f" The before column is linkwell.exe at {before.get('commit', '?')} "
                 f"({before.get('what', '')}), measured {before.get('date', '?')} with this script "
                 "and kept in bench/wine/before.txt." if old else ""))
    md.append("")
    md.append("| Per idle tick | linkwell.exe | floor | linkwell.exe ÷ floor | Target | | floor noticing closed peers "
              "| linkwell.exe before | bare window program |")
    md.append("|---|---|---|---|---|---|---|---|---|")
    cb, cf = bridge.calls_per_tick(), floor.calls_per_tick()
    if cb is not None and cf is not None:
        rb, rf = cb[0] + cb[1], cf[0] + cf[1]
        ok = rb <= rf * 1.05  # the window of the count is a tick wider or narrower
        md.append(f"| calls into MixW2's object (GetIDsOfNames + Invoke) | {calls_text(cb)} | {calls_text(cf)} | "
                  f"{rb / rf:.2f}× | as the floor | {'met' if ok else f'**missed** by {rb - rf:.1f} calls'} | "
                  f"{calls_text(watching.calls_per_tick())} | "
                  f"{calls_text(old.calls_per_tick() if old else None)} | — |")
    a, b = bridge.cpu_per_tick(), floor.cpu_per_tick()
    r, v = ratio_verdict(a, b, 1.2)
    md.append(f"| CPU time of the program (ms) | {fmt(a, 3)} | {fmt(b, 3)} | {r} | ≤ 1.2× | {v} | "
              f"{fmt(watching.cpu_per_tick(), 3)} | "
              f"{fmt(old.cpu_per_tick() if old else None, 3)} | {fmt(bare.cpu_per_tick(), 3)} |")
    pa_, pf_ = bridge.profile_cpu_per_tick(), floor.profile_cpu_per_tick()
    md.append(f"| CPU time of the program, perf's samples after the minute (ms) | {fmt(pa_, 3)} | {fmt(pf_, 3)} | "
              f"{ratio_verdict(pa_, pf_, 1e9)[0]} | | | {fmt(watching.profile_cpu_per_tick(), 3)} | "
              f"{fmt(old.profile_cpu_per_tick() if old else None, 3)} | — |")
    md.append(f"| CPU time of the stand-in MixW2 serving it (ms) | {fmt(bridge.other_per_tick('peers_idle_cpu_ms'), 3)} | "
              f"{fmt(floor.other_per_tick('peers_idle_cpu_ms'), 3)} | | | | "
              f"{fmt(watching.other_per_tick('peers_idle_cpu_ms'), 3)} | "
              f"{fmt(old.other_per_tick('peers_idle_cpu_ms') if old else None, 3)} | — |")
    md.append(f"| CPU time of wineserver for it (ms) | {fmt(bridge.other_per_tick('wineserver_idle_cpu_ms'), 3)} | "
              f"{fmt(floor.other_per_tick('wineserver_idle_cpu_ms'), 3)} | | | | "
              f"{fmt(watching.other_per_tick('wineserver_idle_cpu_ms'), 3)} | "
              f"{fmt(old.other_per_tick('wineserver_idle_cpu_ms') if old else None, 3)} | — |")
    tb, tf = bridge.syscalls_per_tick(), floor.syscalls_per_tick()
    md.append(f"| system calls (strace) | {fmt(tb, 1)} | {fmt(tf, 1)} | "
              f"{ratio_verdict(tb, tf, 1e9)[0]} | | | {fmt(watching.syscalls_per_tick(), 1)} | "
              f"{fmt(old.syscalls_per_tick() if old else None, 1)} | — |")
    qb, qf = (sum(x.requests_per_tick().values()) or None for x in (bridge, floor))
    qw = sum(watching.requests_per_tick().values()) or None
    qo = (sum(old.requests_per_tick().values()) or None) if old else None
    md.append(f"| requests to wineserver (traced run) | {fmt(qb, 1)} | {fmt(qf, 1)} | "
              f"{ratio_verdict(qb, qf, 1e9)[0]} | | | {fmt(qw, 1)} | {fmt(qo, 1)} | — |")
    pa, pb = bridge.get("private_kb"), floor.get("private_kb")
    pr, pv = ratio_verdict(pa, pb, 1.5)
    md.append(f"| private bytes, resident (kB) | {fmt(pa, 0)} | {fmt(pb, 0)} | {pr} | ≤ 1.5× | {pv} | "
              f"{fmt(watching.get('private_kb'), 0)} | "
              f"{fmt(old.get('private_kb') if old else None, 0)} | {fmt(bare.get('private_kb'), 0)} |")
    md.append(f"| peak memory, resident (kB) | {fmt(bridge.get('peak_ws_kb'), 0)} | {fmt(floor.get('peak_ws_kb'), 0)} | "
              f"{ratio_verdict(bridge.get('peak_ws_kb'), floor.get('peak_ws_kb'), 1e9)[0]} | | | "
              f"{fmt(watching.get('peak_ws_kb'), 0)} | "
              f"{fmt(old.get('peak_ws_kb') if old else None, 0)} | {fmt(bare.get('peak_ws_kb'), 0)} |")
    md.append("")
    why = []
    if a is not None and b is not None:
        if a <= 1.2 * b:
            why.append(f"CPU: linkwell.exe's idle tick costs {a:.3f} ms, {a / b:.2f}× the floor's {b:.3f} ms: within the target.")
        else:
            why.append(f"CPU: linkwell.exe's idle tick costs {a:.3f} ms against the floor's {b:.3f} ms, "
                       f"{a - b:.3f} ms more per tick ({(a - 1.2 * b):.3f} ms over the target)."
                       + module_split(bridge, floor, a - b))
        if old is not None and old.cpu_per_tick() is not None:
            o = old.cpu_per_tick()
            why.append(f"Before ({before.get('what', '')}) it cost {o:.3f} ms "
                       f"({o / b:.2f}× the floor).")
    if before:
        old_floor = Run(before, "floor", Run(before, "noreads"))
        if old_floor.present and floor.cpu_per_tick() is not None and old_floor.cpu_per_tick() is not None:
            why.append(
                "Run to run: the floor, unchanged, took "
                f"{old_floor.cpu_per_tick():.3f} ms per tick and its stand-in MixW2 "
                f"{fmt(old_floor.other_per_tick('peers_idle_cpu_ms'), 3)} ms in the run of bench/wine/before.txt, "
                f"against {floor.cpu_per_tick():.3f} ms and {fmt(floor.other_per_tick('peers_idle_cpu_ms'), 3)} ms "
                "here; differences smaller than that are noise (the stand-in's and wineserver's figures are "
                "small differences of large ones, in 10 ms steps).")
    why.append(syscall_split(bridge, floor))
    if pa is not None and pb is not None:
        rt, mn = number(w.get("runtimes_private_kb")), number(w.get("minimal_private_kb"))
        if pa <= 1.5 * pb:
            why.append(f"Memory: {pa:,.0f} kB private against the floor's {pb:,.0f} kB, {pa / pb:.2f}×: within the target.")
        else:
            text = (f"Memory: {pa:,.0f} kB private against the floor's {pb:,.0f} kB, {pa - pb:,.0f} kB more "
                    f"({pa - 1.5 * pb:,.0f} kB over the target).")
            if rt is not None and mn is not None:
                text += (f" The floor holds {pb - mn:,.0f} kB more than the bare window program (COM with the "
                         f"stand-in MixW2's object); the bridge's window of 35 controls "
                         f"with COM and DDEML brought up holds {rt - mn:,.0f} kB more than the bare program (last "
                         f"table). That leaves {pa - pb - (rt - mn):,.0f} kB that only the working bridge holds"
                         + extra_dlls(w) + "; the split by cause below divides it.")
            why.append(text)
    md.append(" ".join(part for part in why if part))
    md.append("")
    md.extend(request_split(bridge, floor, watching, old))
    md.extend(udp_rows(Run(w, "bridgeudp", base), bridge, watching))
    if os.path.exists(SPLIT):
        with open(SPLIT, encoding="utf-8") as f:
            md.extend(line.rstrip("\n") for line in f)
        md.append("")
    return md


# What each request to wineserver is, in the bridge's terms.
REQUEST_CAUSES = {
    "get_window_info": "a look at another program's window (the watch: Logger32's window, each DDE conversation's partner)",
    "get_message": "the window's thread takes a message (each timer tick, each wake-up of a wait)",
    "set_queue_mask": "the window's thread begins a wait that keeps its window served",
    "select": "a wait (for a message, a timer, a call's answer, the next unit of work)",
    "event_op": "an event set (the hand-off to the call thread and its answer; Wine's RPC)",
    "read": "Wine's RPC: the answer of a call read from its pipe",
    "write": "Wine's RPC: a call written to its pipe",
    "get_async_result": "Wine's RPC: the pipe's I/O completed",
    "create_event": "an event made (before: one per call into MixW2)",
    "close_handle": "a handle closed (before: one per call into MixW2)",
    "release_semaphore": "a condition variable woken (before: each hand-off)",
}


def request_split(bridge, floor, watching, old):
    """The requests to wineserver per tick, by request, for each program: the split by cause."""
    rows = [(x, x.requests_per_tick()) for x in (bridge, floor, watching)]
    before = old.requests_per_tick() if old is not None else {}
    if not rows[0][1] or not rows[1][1]:
        return []
    names = sorted(set().union(*(r for _, r in rows), before), key=lambda n: -(rows[0][1].get(n, 0) + before.get(n, 0)))
    md = ["Split by cause: every request each program made of wineserver over "
          f"{bridge.get('requests_ms') / 1000:.0f} s of idling in a run of its own with a wineserver that "
          "traces them (scripts/bench-wine), per tick. Each request is a round trip to wineserver: under Wine "
          "that is two `rt_sigprocmask`, a `write` and a `read` of the program's own, and wineserver's time; "
          "the system calls above follow these counts.", "",
          "| Request, per idle tick | linkwell.exe | floor | floor noticing closed peers | linkwell.exe before | what it is |",
          "|---|---|---|---|---|---|"]
    for n in names:
        vals = [r.get(n, 0) for _, r in rows] + [before.get(n, 0)]
        if max(vals) < 0.05:
            continue
        md.append(f"| `{n}` | {vals[0]:.1f} | {vals[1]:.1f} | {vals[2]:.1f} | "
                  f"{fmt(vals[3] if before else None, 1)} | {REQUEST_CAUSES.get(n, '')} |")
    totals = [sum(r.values()) for _, r in rows] + [sum(before.values())]
    md.append(f"| all | {totals[0]:.1f} | {totals[1]:.1f} | {totals[2]:.1f} | "
              f"{fmt(totals[3] if before else None, 1)} | |")
    threads = [(x, x.requests_per_tick("requests_threads")) for x in (bridge, floor, watching)]
    if all(t for _, t in threads):
        parts = []
        for x, t in threads:
            label = {"bridge": "linkwell.exe", "floor": "the floor", "floorwatch": "the floor noticing closed peers"}[x.who]
            parts.append(f"{label} " + ", ".join(f"{v:.1f}" for _, v in sorted(t.items(), key=lambda kv: int(kv[0]))))
        md.append("")
        md.append("By thread, in the order each program made them (the window's thread first): "
                  + "; ".join(parts) + ".")
    md.append("")
    return md


def bare_why(w, missed):
    """Why a target against the bare window program is missed, from the figures."""
    if not missed:
        return "Every target against the bare window program is met."
    n = lambda k: number(w.get(k))
    bridge, floor, bare = Run(w, "bridge"), Run(w, "floor"), Run(w, "minimal")
    parts = [f"Missed: {', '.join(missed)}."]
    if any(m.startswith("CPU") for m in missed) and None not in (n("bridge_cpu_ms"), n("minimal_cpu_ms")):
        text = (f"The bare program does nothing once its window is up ({fmt(bare.cpu_ms(), 0)} ms in the idle "
                f"minute), while linkwell.exe, linked, reads MixW2's frequency every tick "
                f"({fmt(bridge.cpu_ms(), 0)} ms in the idle minute; its first {w.get('startup_s', '4')} s took {n('bridge_startup_cpu_ms'):.0f} ms "
                f"against {n('minimal_startup_cpu_ms'):.0f} ms, the CPU clock of /proc/PID/stat counting in 10 ms steps).")
        if n("floor_cpu_ms") is not None and n("minimal_cpu_ms"):
            fr = n("floor_cpu_ms") / n("minimal_cpu_ms")
            text += (f" The floor, which makes only those reads, took {n('floor_cpu_ms'):.0f} ms in all, "
                     f"{fr:.2f}× the bare program: "
                     + ("so no program that makes an idle tick's reads meets this target, and the fair "
                        "measure is the floor above." if fr > 1.5 else
                        "so the reads alone would meet this target; the rest is linkwell.exe's own (see the "
                        "floor above)."))
        parts.append(text)
    if any(m.startswith("private") for m in missed) and None not in (n("floor_private_kb"), n("minimal_private_kb")):
        fr = n("floor_private_kb") / n("minimal_private_kb")
        parts.append(f"In private memory the floor holds {fr:.2f}× the bare program's "
                     + ("(COM with the stand-in MixW2's object), above the target "
                        "already; the split against the floor is above." if fr > 1.5 else
                        "(COM with the stand-in MixW2's object); the split against "
                        "the floor is above."))
    if any(m.startswith("peak") for m in missed) and None not in (n("floor_peak_ws_kb"), n("minimal_peak_ws_kb")):
        parts.append(f"The floor's peak resident size is {n('floor_peak_ws_kb') / n('minimal_peak_ws_kb'):.2f}× "
                     "the bare program's, linkwell.exe's "
                     f"{n('bridge_peak_ws_kb') / n('floor_peak_ws_kb'):.2f}× the floor's.")
    parts.append("Each program was measured once, so small differences (a few 10 ms steps, a few hundred kB) "
                 "are noise.")
    return " ".join(parts)


def counts_per_tick(text, ticks):
    """Counts written "N NAME|N NAME...", per tick, by name."""
    counts = {}
    for part in text.split("|"):
        n, _, name = part.partition(" ")
        if number(n) is not None:
            counts[name] = number(n) / ticks
    return counts


def syscall_split(bridge, floor):
    """System calls per tick of linkwell.exe against the floor, from strace's count."""
    def per_tick(run):
        text, secs = run.w.get(f"{run.who}_syscalls", ""), run.get("syscalls_s")
        if not text or not secs:
            return {}
        return counts_per_tick(text, secs * 1000 / TICK_MS)
    b, f = per_tick(bridge), per_tick(floor)
    if not b or not f:
        return ""
    diff = sorted(((b.get(n, 0) - f.get(n, 0), n) for n in set(b) | set(f) if n != "total"), reverse=True)
    more = [f"{n} {d:+.1f}" for d, n in diff if abs(d) >= 0.5][:6]
    bt, ft = b.get("total", 0), f.get("total", 0)
    same = ft > 0 and abs(bt - ft) <= 0.05 * ft
    return (f"System calls (strace, {bridge.get('syscalls_s'):.0f} s after the profile): linkwell.exe made "
            f"{bt:.1f} per tick against the floor's {ft:.1f}"
            + (f"; the differences per tick: {', '.join(more)}" if more else "")
            + (": its idle tick asks no more of the system than the floor's, so what it spends beyond the "
               "floor lies in the time the same calls take, not in more of them." if same else
               f": {bt - ft:+.1f} calls per tick beyond the floor's."))


def extra_dlls(w):
    bridge = set(w.get("bridge_dlls", "").split())
    floor = set(w.get("floor_dlls", "").split())
    more = sorted(bridge - floor)
    threads = (number(w.get("bridge_threads")), number(w.get("floor_threads")))
    text = ""
    if None not in threads:
        text += f" (at the end linkwell.exe ran {threads[0]:.0f} threads against the floor's {threads[1]:.0f}"
        if more:
            text += f"; beyond the floor's DLLs it had loaded {', '.join(more)}"
        text += ")"
    return text


def previous_section(output, head):
    """The lines under HEAD in the last report, up to the next section; None when it has none."""
    try:
        with open(output, encoding="utf-8") as f:
            text = f.read()
    except OSError:
        return None
    if head not in text:
        return None
    return text.split(head, 1)[1].split("\n## ", 1)[0].strip("\n").split("\n")


def previous_fuzz(output, head="## Fuzzing Logger32's texts"):
    """The fuzzing section of the last report, when this run did not fuzz: ten million runs take a
    quarter of an hour, and their figures do not go stale with a change elsewhere."""
    body = previous_section(output, head)
    if body is None:
        return []
    note = "Not rerun by this run (`BENCH_FUZZ=0`): the figures of the run before, kept."
    if body and body[0].startswith("Not rerun"):
        body = body[2:]
    return [note, ""] + body


NOT_LOGGED_HEAD = "## A big not-logged.adi left by an earlier run"


def kept_not_logged(output):
    """The big not-logged.adi section of the last report: scripts/bench-not-logged measures it (a few
    minutes of Wine with files of up to a hundred megabytes), scripts/bench does not."""
    body = previous_section(output, NOT_LOGGED_HEAD)
    return [] if body is None else [NOT_LOGGED_HEAD, ""] + body + [""]


def fuzz_rows(md, fuzz, intro, log):
    """A fuzz run's table, after the paragraph that says what ran."""
    runs = number(fuzz["executions"])
    asked = number(fuzz.get("runs_asked")) or 1e7
    findings = number(fuzz.get("findings")) or 0
    ended_well = fuzz.get("exit") == "0"
    md.append(intro)
    md.append("")
    md.append("| What | Measured | Target | |")
    md.append("|---|---|---|---|")
    md.append(f"| executions | {runs:,.0f} in {number(fuzz.get('wall_s')) or 0:,.0f} s "
              f"({fuzz.get('exec_per_s', '?')}/s) | ≥ {asked:,.0f} | "
              f"{verdict(runs >= asked, f'by {asked - runs:,.0f} (the run stopped early)')} |")
    md.append(f"| coverage | {fuzz.get('coverage', '?')} edges, {fuzz.get('features', '?')} features | — | |")
    md.append(f"| corpus | {fuzz.get('corpus_before', '?')} inputs before, {fuzz.get('corpus_after', '?')} after "
              f"({fuzz.get('new_units', '?')} new in this run) | kept between runs | |")
    md.append(f"| crashes and other findings | {findings:.0f} | 0 | "
              f"{verdict(findings == 0 and ended_well, 'see ' + log)} |")
    md.append(f"| peak memory | {fuzz.get('peak_rss_mb', '?')} MB | — | |")


CHAOS_HEAD = "## Latency under load (Wine)"
CHAOS_PATHS = [("spot-to-macros", "spot click to MixW's `ExecuteMacros`", "500 ms (`Timer3`)"),
               ("save-to-logging", "\"Save\" to the `<APP_LOGQSO:` taken", "none (on the change)"),
               ("khz-to-force-freq", "a `khz` change to `<APP_FORCE_FREQ:`", "none (on the change)")]


def chaos_latency(output, folder="build/bench-wine-chaos"):
    """The chaos run's latency section: from scripts/bench-wine-chaos when it has run, else the
    last report's, else a note."""
    runs = {}
    for kind in ("chaos", "floods"):
        try:
            with open(f"{folder}/latency-{kind}.txt", encoding="utf-8") as f:
                runs[kind] = dict(line.rstrip("\n").split(" ", 1) for line in f if " " in line)
        except OSError:
            pass
    md = [CHAOS_HEAD, ""]
    if len(runs) < 2:
        body = previous_section(output, CHAOS_HEAD)
        md.extend(body if body else ["Not run (scripts/bench-wine-chaos writes build/bench-wine-chaos)."])
        md.append("")
        return md
    seed = runs["chaos"].get("seed", "?")
    minutes = runs["chaos"].get("minutes", "?")
    md.append(f"`scripts/bench-wine-chaos --seed {seed} --minutes {minutes}`: the real linkwell.exe under "
              "Wine against the stand-in peers (docs/chaos.md), once through a chaos day (hangs of 0.1 "
              "to 40 s, peers ended and restarted, the bridge killed, a second copy, not-logged.adi "
              "held) and once through the same station with floods only (spots and frequencies 20 ms "
              "apart, no hang or restart). From the scenario's action to the trace line it causes; "
              "what never came (a spot replaced before its tick, a text Logger32 never took) is not "
              "counted. Benchmark figures, not a timed test.")
    md.append("")
    md.append("| Path | Floor | Floods only | Chaos |")
    md.append("|---|---|---|---|")
    for key, what, floor in CHAOS_PATHS:
        md.append(f"| {what} | {floor} | {runs['floods'].get(key, '-')} | {runs['chaos'].get(key, '-')} |")
    md.append("")
    md.append(f"Sessions: floods only {runs['floods'].get('sessions', '-')}; chaos "
              f"{runs['chaos'].get('sessions', '-')} (the checks' summary line of each run).")
    md.append("")
    return md


def verdict(ok, missed_by=""):
    return "met" if ok else f"**missed** {missed_by}".rstrip()


def main():
    results, output = sys.argv[1], sys.argv[2]
    with open(os.path.join(results, "handlers.json"), encoding="utf-8") as f:
        bench = json.load(f)
    median = {}
    cv = {}
    for b in bench["benchmarks"]:
        name = b.get("run_name", b["name"])
        if b.get("aggregate_name") == "median":
            median[name] = ns(b["cpu_time"], b["time_unit"])
        if b.get("aggregate_name") == "cv":
            cv[name] = b["cpu_time"]

    rows = []

    def row(what, measured, target, met):
        rows.append(f"| {what} | {measured} | {target} | {met} |")

    idle = median["BM_Timer2IdleTick"]
    rec = median["BM_Timer2RecordTick"]
    spot = median["BM_ClickedSpot"]
    l32rec = median["BM_Logger32Record"]
    row("`Timer2` tick, nothing changed", pretty_ns(idle), "< 1 µs",
        verdict(idle < 1000, f"by {pretty_ns(idle - 1000)}"))
    row("`Timer2` tick that sends the QSO record (one box changed before it)", pretty_ns(rec), "< 10 µs",
        verdict(rec < 10000, f"by {pretty_ns(rec - 10000)}"))
    row("clicked spot: `Sent_Change` and the `Timer3` tick (3 or 4 MixW calls)", pretty_ns(spot), "—", "")
    row("Logger32 record through the record steps, saved (9 MixW calls, \"SAVE\" written back)",
        pretty_ns(l32rec), "—", "")

    readers = [
        ("spot reader", "BM_ReadSpot"),
        ("all record readers of one tick (5 fields, 2 markers)", "BM_ReadRecordFields"),
        ("CALL", "BM_ReadField<to_mixw::ReadCall>"),
        ("MODE", "BM_ReadField<to_mixw::ReadMode>"),
        ("RST_SENT", "BM_ReadField<to_mixw::ReadRstSent>"),
        ("RST_RCVD", "BM_ReadField<to_mixw::ReadRstRcvd>"),
        ("NAME", "BM_ReadField<to_mixw::ReadName>"),
    ]
    reader_rows = []
    for label, key in readers:
        t = [median.get(f"{key}/{n}") for n in (100, 32767, 100000)]
        if None in t:
            continue
        growth = t[2] / t[1]
        linear = growth < 3.05 * 1.25
        under = t[2] < 1e6
        ok = linear and under
        reason = []
        if not under:
            reason.append(f"100,000 characters take {pretty_ns(t[2])}, {pretty_ns(t[2] - 1e6)} over")
        if not linear:
            reason.append(f"32,767 → 100,000 grew {growth:.2f}×, linear is 3.05×")
        reader_rows.append(
            f"| {label} | {pretty_ns(t[0])} | {pretty_ns(t[1])} | {pretty_ns(t[2])} | "
            f"{t[2] / 1e5:.3f} ns | {growth:.2f}× | {'met' if ok else '**missed**: ' + '; '.join(reason)} |")

    hours = [keyvalues(p) for p in sorted(glob.glob(os.path.join(results, "hour-*.txt")))]
    days = [keyvalues(p) for p in sorted(glob.glob(os.path.join(results, "day-*.txt")))]
    day_wall = statistics.median(number(d["wall_s"]) for d in days)
    hour_wall = statistics.median(number(h["wall_s"]) for h in hours)
    day_rss = max(number(d["peak_rss_kb"]) for d in days)
    hour_rss = min(number(h["peak_rss_kb"]) for h in hours)
    d0 = days[0]
    day_hours = number(d0["virtual_ms"]) / 3.6e6
    hour_hours = number(hours[0]["virtual_ms"]) / 3.6e6
    rss_ratio = day_rss / hour_rss
    wall_ratio = day_wall / hour_wall
    ended = any(d.get("ended") != "0" for d in days)

    soak = keyvalues(os.path.join(results, "soak.txt"))
    wine = keyvalues(os.path.join(results, "wine.txt"))
    fuzz = keyvalues(os.path.join(results, "fuzz.txt"))
    fuzz_udp = keyvalues(os.path.join(results, "fuzz-udp.txt"))

    cpu = ""
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    compiler = subprocess.run(["c++", "--version"], capture_output=True, text=True).stdout.splitlines()[0]

    md = []
    md.append("# Benchmarks")
    md.append("")
    md.append("What the bridge costs, measured by `scripts/bench` (which writes this file). "
              f"Measured {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC on "
              f"{os.cpu_count()} cores of {cpu or platform.machine()}, {compiler}, Release build (-O3).")
    md.append("")
    md.append("## Handlers")
    md.append("")
    md.append("CPU time per event, median of 5 repetitions, on a world that adds nothing of its own "
              "(`bench/quiet_world.h`: sends, posts and MixW calls are counted and dropped).")
    md.append("")
    md.append("| What | Measured | Target | |")
    md.append("|---|---|---|---|")
    md.extend(rows)
    md.append("")
    md.append("## Readers of Logger32's texts")
    md.append("")
    md.append("Median CPU time by the length of the text in UTF-16 units. The texts are built so that "
              "every reader runs the whole text (the spot's first \"|\" and the record's fields other "
              "than CALL sit at the far end). Target: cost linear in the length (from 32,767 to 100,000 "
              "characters the time grows about 3.05×; up to 25% more is allowed for cache effects), "
              "and a 100,000-character text under 1 ms.")
    md.append("")
    md.append("| Reader | 100 | 32,767 | 100,000 | per character at 100,000 | 32,767 → 100,000 | |")
    md.append("|---|---|---|---|---|---|---|")
    md.extend(reader_rows)
    md.append("")
    md.append("CALL is read from character 7, where Logger32 puts it, so its cost does not depend on "
              "the length at all.")
    md.append("")
    md.append("## A station day")
    md.append("")
    md.append(f"`linkwell-day` runs the simulated world with the real bridge through a generated day "
              f"({day_hours:.2f} h of virtual time): {int(number(d0['timer2_ticks'])):,} `Timer2` ticks due (800 ms apart "
              f"while MixW2 holds the rig; each \"Save\" restarts the count), "
              f"{d0['spots']} clicked spots, {d0['qsos_saved']} QSOs worked and logged by \"Save\" "
              f"({d0['logged']} logging texts reached Logger32), {d0['handovers_to_logger32']} handovers "
              f"each way, {d0['mixw_frequency_changes']} dial changes in MixW and "
              f"{d0['logger32_frequency_changes']} frequencies and {d0['logger32_records']} QSO records "
              f"from Logger32. The trace ({d0['trace_lines']} lines) is counted and dropped. The one-hour "
              f"run is the same day stopped after {hour_hours:.0f} h. Each run is its own process; "
              f"{len(days)} of each, median time, highest peak resident size (VmHWM) of the days against "
              f"the lowest of the hours.")
    md.append("")
    md.append("| What | Measured | Target | |")
    md.append("|---|---|---|---|")
    md.append(f"| whole day, wall time | {day_wall * 1000:.1f} ms | < 1 s | "
              f"{verdict(day_wall < 1, f'by {day_wall - 1:.2f} s')} |")
    md.append(f"| day against one hour, wall time | {wall_ratio:.1f}× ({hour_wall * 1000:.2f} ms for the hour) | "
              f"about the ratio of virtual time, {day_hours / hour_hours:.1f}× | "
              f"{'met' if wall_ratio < day_hours / hour_hours * 1.5 else '**missed**: grows faster than the day'} |")
    md.append(f"| day against one hour, peak resident size | {rss_ratio:.3f}× ({day_rss:.0f} kB against "
              f"{hour_rss:.0f} kB) | ≤ 1.10× | {verdict(rss_ratio <= 1.10, f'by {(rss_ratio - 1.10) * 100:.1f} points')} |")
    md.append(f"| bridge still running at the end of the day | {'no' if ended else 'yes'} | yes | "
              f"{verdict(not ended)} |")
    md.append("")
    md.append("## Soak")
    md.append("")
    if soak:
        md.append(f"`linkwell-soak --seed {soak.get('seed')} --events 1000000 --twice`: random MixW items and "
                  "frequencies, Logger32 codes and texts (good and broken: spots and records cut short, "
                  "wrong lengths, type indicators, lower case, 40,000-character records), clicks, OK, MixW2 "
                  "closing and coming back, Logger32 refusing, the operator closing the bridge (a new "
                  "session then starts). After every event: the program has ended only when closed, every "
                  "text to Logger32 is a well-formed run of ADIF-style fields with lengths in UTF-16 units, "
                  "a record sent equals the nine boxes, nothing reached MixW while MixW2 was closed, and "
                  "the bridge threw nothing.")
        md.append("")
        md.append("| What | Measured | Target | |")
        md.append("|---|---|---|---|")
        md.append(f"| events | {int(number(soak['events'])):,} in {soak['sessions']} sessions, "
                  f"{number(soak['virtual_hours']):,.0f} h of virtual time | 1,000,000 | "
                  f"{verdict(number(soak['events']) >= 1e6)} |")
        md.append(f"| wall time | {number(soak['wall_s']):.2f} s | — | |")
        md.append(f"| texts to Logger32 checked / of them QSO records | {int(number(soak['texts_checked'])):,} / "
                  f"{int(number(soak['records_checked'])):,} | — | |")
        md.append(f"| calls that reached MixW | {int(number(soak['mixw_calls'])):,} | — | |")
        md.append(f"| violations | {soak['violations']} | 0 | {verdict(soak['violations'] == '0')} |")
        md.append(f"| same seed, same trace | {soak.get('same_trace_twice', 'not run')} "
                  f"({soak['trace_lines']} lines, FNV-1a {soak['trace_hash']}) | yes | "
                  f"{verdict(soak.get('same_trace_twice') == 'yes')} |")
    else:
        md.append("Not run.")
    md.append("")
    md.append("## The Windows program under Wine")
    md.append("")
    if wine.get("measured") == "yes":
        md.append(wine.get("how", ""))
        md.append("")
        md.extend(floor_section(wine, keyvalues(BEFORE)))
        md.append("### Against the bare window program")
        md.append("")
        md.append("| What | linkwell.exe | minimal window program | Ratio | Target | | minimal with the bridge's window, COM and DDEML | linkwell.exe against it |")
        md.append("|---|---|---|---|---|---|---|---|")
        missed = []
        for key, label, target in (("cpu_ms", "CPU time, start-up and 60 s idle (ms)", True),
                                   ("startup_cpu_ms", f"of it, the first {wine.get('startup_s', '4')} s (ms)", False),
                                   ("idle", "of it, the idle minute (ms)", False),
                                   ("peak_ws_kb", "peak memory, resident (kB)", True),
                                   ("private_kb", "private bytes, resident (kB)", True)):
            def get(who):
                if key == "idle":
                    return Run(wine, who).cpu_ms()
                return number(wine.get(f"{who}_{key}"))
            a, b, c = get("bridge"), get("minimal"), get("runtimes")
            if a is None or b is None:
                md.append(f"| {label} | not measured | | | {'≤ 1.5×' if target else ''} | | | |")
                continue
            ratio = a / b if b else float("inf")
            vs = f"{a / c:.2f}×" if c else "—"
            if not target:
                met = ""
            elif ratio <= 1.5:
                met = "met"
            else:
                met = f"**missed** by {ratio - 1.5:.2f}× (see below)" if b else "**missed** (see below)"
                missed.append(label)
            ratio_text = f"{ratio:.2f}×" if b else "—"
            md.append(f"| {label} | {a:,.0f} | {b:,.0f} | {ratio_text} | {'≤ 1.5×' if target else ''} | {met} | "
                      f"{'' if c is None else f'{c:,.0f}'} | {vs} |")
        md.append("")
        md.append(bare_why(wine, missed))
    else:
        md.append("| What | linkwell.exe | minimal window program | Ratio | Target | |")
        md.append("|---|---|---|---|---|---|")
        reason = wine.get("reason", "scripts/bench-wine did not run")
        for label in ("CPU time, start-up and 60 s idle", "peak working set", "private bytes"):
            md.append(f"| {label} | not measured | not measured | | ≤ 1.5× | {reason} |")
    md.append("")
    md.append("## Fuzzing Logger32's texts")
    md.append("")
    if fuzz.get("executions"):
        fuzz_rows(md, fuzz,
                  f"`scripts/bench-fuzz`: the libFuzzer target of `scripts/test-fuzz` (to_mixw_fuzz.cpp, "
                  f"{fuzz.get('clang', 'clang')}, AddressSanitizer and UndefinedBehaviorSanitizer, texts up to "
                  "200,000 bytes), at the lowest priority, from the corpus that earlier runs left in "
                  "build/fuzz/corpus and the committed seeds. A crash, sanitizer report, broken rule, hang "
                  "(10 s) or leak stops the run and keeps its input in build/fuzz/findings-long.",
                  "build/fuzz/fuzz-long.log")
    elif previous_fuzz(output):
        md.extend(previous_fuzz(output))
    else:
        md.append("Not run (`BENCH_FUZZ=0`, or scripts/bench-fuzz failed).")
    md.append("")
    md.extend(kept_not_logged(output))
    udp_head = "## Fuzzing the datagrams of UDP listeners"
    md.append(udp_head)
    md.append("")
    if fuzz_udp.get("executions"):
        fuzz_rows(md, fuzz_udp,
                  "`FUZZ_TARGET=udp_reader scripts/bench-fuzz`: the libFuzzer target udp_reader_fuzz.cpp "
                  f"({fuzz_udp.get('clang', 'clang')}, AddressSanitizer and UndefinedBehaviorSanitizer, "
                  "datagrams up to 70,000 bytes), what the bridge reads of a listener's datagram (the "
                  "Heartbeat's schema, everything else ignored) alone and through the bridge's watch tick, "
                  "at the lowest priority, from the corpus that earlier runs left in build/fuzz/corpus-udp "
                  "and the seeds in fuzz/corpus-udp. A crash, sanitizer report, broken rule, hang (10 s) or "
                  "leak stops the run and keeps its input in build/fuzz/findings-udp-long.",
                  "build/fuzz/fuzz-udp-long.log")
    elif previous_fuzz(output, udp_head):
        md.extend(previous_fuzz(output, udp_head))
    else:
        md.append("Not run (`BENCH_FUZZ=0`, or scripts/bench-fuzz failed).")
    md.append("")
    md.extend(chaos_latency(output))
    md.append("## How to read and rerun")
    md.append("")
    md.append("- `scripts/bench` builds build/bench and rewrites this file; `DAY_RUNS`, `SOAK_SEED`, "
              "`BENCH_FUZZ=0`, `FUZZ_RUNS` and `BENCH_WINE=0` adjust it. The raw results stay in build/bench/results.")
    md.append("- Debian's libbenchmark is built without optimisation and says so on every run; that only "
              "touches the timing loop around the measured code, which is our Release build.")
    md.append("- The day's figures are given against the one-hour run of the same build on the same "
              "machine, so that they hold on a busy machine: a leak or a cost that grows with the day "
              "shows as a ratio, whatever the machine's speed.")
    md.append("")
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(md))


if __name__ == "__main__":
    main()
