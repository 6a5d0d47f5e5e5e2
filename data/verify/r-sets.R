# Writes the verification sets whose reference figures come from R: each set's
# long CSV and its expected file (figure, value, digits, citation). R computes in
# double precision; its figures are written with 15 significant digits and
# compared to 12. Run from this folder: Rscript r-sets.R
suppressMessages(library(afex))
options(warn = -1)

fmt <- function(x) trimws(formatC(x, digits = 15, format = "g"))

# The figures of every effect of an afex fit: sums of squares, df, F, p, the
# effect sizes, and for effects of more than one df the sphericity figures.
effect_figures <- function(fit) {
  s <- summary(fit)
  u <- s$univariate.tests
  ges <- anova(fit, es = "ges", correction = "none")
  pes <- anova(fit, es = "pes", correction = "none")
  out <- character()
  add <- function(name, key, value) out <<- c(out, sprintf("%s(%s),%s,12,R", name, key, fmt(value)))
  for (key in setdiff(rownames(u), "(Intercept)")) {
    add("SS", key, u[key, "Sum Sq"]); add("df", key, u[key, "num Df"])
    add("errorSS", key, u[key, "Error SS"]); add("errorDF", key, u[key, "den Df"])
    add("F", key, u[key, "F value"]); add("p", key, u[key, "Pr(>F)"])
    add("ges", key, ges[key, "ges"]); add("pes", key, pes[key, "pes"])
    if (!is.null(s$pval.adjustments) && key %in% rownames(s$pval.adjustments)) {
      a <- s$pval.adjustments
      add("epsGG", key, a[key, "GG eps"]); add("pGG", key, a[key, "Pr(>F[GG])"])
      add("epsHF", key, a[key, "HF eps"]); add("pHF", key, a[key, "Pr(>F[HF])"])
      m <- s$sphericity.tests
      add("mauchlyW", key, m[key, "Test statistic"]); add("mauchlyP", key, m[key, "p-value"])
    }
  }
  out
}

write_set <- function(name, title, citation, data, call, id, dv, within, between = character(),
                      figures, extra = character()) {
  write.csv(data[, c(id, between, within, dv)], paste0(name, ".csv"), row.names = FALSE, quote = FALSE)
  lines <- c(sprintf("# %s", title),
             sprintf("# Reference figures from R %s.%s, afex %s: %s", R.version$major, R.version$minor,
                     packageVersion("afex"), call),
             sprintf("title: %s", title), sprintf("data: %s.csv", name), sprintf("id: %s", id),
             sprintf("dv: %s", dv), sprintf("within: %s", paste(within, collapse = ",")),
             sprintf("between: %s", paste(between, collapse = ",")), sprintf("citation: %s", citation),
             sprintf("call: %s", call), "figure,value,digits,citation", figures, extra)
  writeLines(lines, paste0(name, ".expected"))
}

run <- function(name, title, citation, dataset, id, dv, within, between = character(), extra = character()) {
  data(list = dataset, package = "afex")
  d <- get(dataset)
  call <- sprintf("aov_ez(\"%s\", \"%s\", %s, between = %s, within = %s, fun_aggregate = mean)", id, dv,
                  dataset, deparse(between), deparse(within))
  fit <- aov_ez(id, dv, d, between = if (length(between)) between else NULL, within = within,
                fun_aggregate = mean)
  write_set(name, title, citation, d, call, id, dv, within, between, effect_figures(fit), extra)
}

run("obk", "O'Brien and Kaiser (1985): 2 between, 2 within factors, unequal groups",
    "O'Brien, R. G. and Kaiser, M. K. (1985), Psychological Bulletin 97, 316-333; data as afex's obk.long",
    "obk.long", "id", "value", c("phase", "hour"), c("treatment", "gender"))
run("md_12.1", "Maxwell and Delaney (2004), table 12.1: two within factors",
    "Maxwell, S. E. and Delaney, H. D. (2004), Designing Experiments and Analyzing Data, 2nd ed., table 12.1; data as afex's md_12.1",
    "md_12.1", "id", "rt", c("angle", "noise"))
run("md_15.1", "Maxwell and Delaney (2004), table 15.1: one within factor of four levels",
    "Maxwell, S. E. and Delaney, H. D. (2004), Designing Experiments and Analyzing Data, 2nd ed., table 15.1; data as afex's md_15.1",
    "md_15.1", "id", "iq", c("timecat"))
run("sk2011.1", "Singmann and Klauer (2011), experiment 1: trials averaged per cell",
    "Singmann, H. and Klauer, K. C. (2011), Thinking & Reasoning 17, 247-281; data as afex's sk2011.1",
    "sk2011.1", "id", "response", c("inference", "plausibility"), c("instruction"))

# The mixed design with a subject missing a score: afex drops the subject, as morvane does.
d <- read.csv("mixed-missing.csv")
call <- "aov_ez(\"subject\", \"score\", d, between = \"group\", within = \"time\")"
fit <- aov_ez("subject", "score", d, between = "group", within = "time")
figs <- effect_figures(fit)
lines <- c("# A mixed design of two unequal groups with a subject missing a score (t03), removed listwise.",
           sprintf("# Reference figures from R %s.%s, afex %s: %s", R.version$major, R.version$minor,
                   packageVersion("afex"), call),
           "title: Mixed design, one subject missing a score", "data: mixed-missing.csv", "id: subject",
           "dv: score", "within: time", "between: group", "citation: PMorvane example data (examples/mixed-design.csv)",
           sprintf("call: %s", call), "figure,value,digits,citation", figs)
writeLines(lines, "mixed-missing.expected")

# Friedman's test with ties: the rounding times of Hollander and Wolfe (1973), p. 140.
rt <- matrix(c(5.40, 5.50, 5.55, 5.85, 5.70, 5.75, 5.20, 5.60, 5.50, 5.55, 5.50, 5.40, 5.90, 5.85, 5.70,
               5.45, 5.55, 5.60, 5.40, 5.40, 5.35, 5.45, 5.50, 5.35, 5.25, 5.15, 5.00, 5.85, 5.80, 5.70,
               5.25, 5.20, 5.10, 5.65, 5.55, 5.45, 5.60, 5.35, 5.45, 5.05, 5.00, 4.95, 5.50, 5.50, 5.40,
               5.45, 5.55, 5.50, 5.55, 5.55, 5.35, 5.45, 5.50, 5.55, 5.50, 5.45, 5.25, 5.65, 5.60, 5.40,
               5.70, 5.65, 5.55, 6.30, 6.30, 6.25), nrow = 22, byrow = TRUE,
             dimnames = list(1:22, c("round-out", "narrow-angle", "wide-angle")))
long <- data.frame(player = rep(1:22, each = 3), method = rep(colnames(rt), 22), time = sprintf("%.2f", as.vector(t(rt))))
write.csv(long, "friedman-ties.csv", row.names = FALSE, quote = FALSE)
ft <- friedman.test(rt)
call <- "friedman.test(RoundingTimes)"
writeLines(c("# Friedman's test with ties (4 of 22 players tie two methods): the rounding times of first base.",
             sprintf("# Reference figures from R %s.%s: %s, and the figures its help page prints.",
                     R.version$major, R.version$minor, call),
             "title: Friedman's test with ties: rounding first base (Hollander and Wolfe 1973)",
             "data: friedman-ties.csv", "id: player", "dv: time", "within: method", "between: ",
             "citation: Hollander, M. and Wolfe, D. A. (1973), Nonparametric Statistical Methods, p. 140",
             sprintf("call: %s", call), "figure,value,digits,citation",
             sprintf("friedmanChi2(method),%s,12,R", fmt(ft$statistic)),
             sprintf("friedmanDF(method),%s,1,R", fmt(ft$parameter)),
             sprintf("friedmanP(method),%s,12,R", fmt(ft$p.value)),
             "friedmanChi2(method),11.143,5,R's help page for friedman.test",
             "friedmanP(method),0.003805,4,R's help page for friedman.test"),
           "friedman-ties.expected")
