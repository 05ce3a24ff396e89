# Shell functions shared by the dependency checks: which installed Debian packages a list of
# dependencies brings in, and which package owns a file. Source this file; needs dpkg and awk.

# accepted_packages DEPENDENCY-LIST: the installed packages that the list (a Debian dependency
# field: "a, b (>= 1) | c, ...") brings in through Pre-Depends and Depends, together with those
# every Debian system has (Essential, or Priority required), one a line. Of alternatives, the
# first installed one counts, else an installed package that provides one. Names in the list that
# are not installed are printed to standard error and make it fail.
accepted_packages() {
  dpkg-query -W -f='${Package}\t${db:Status-Abbrev}\t${Essential}\t${Priority}\t${Provides}\t${Pre-Depends}, ${Depends}\n' |
    awk -F'\t' -v roots="$1" '
      function clean(name) { sub(/\(.*/, "", name); sub(/:.*/, "", name); gsub(/[ \t]/, "", name); return name }
      function choose(alternatives,   n, a, name, part) {
        n = split(alternatives, part, "|")
        for (a = 1; a <= n; a++) { name = clean(part[a]); if (name in installed) return name }
        for (a = 1; a <= n; a++) { name = clean(part[a]); if (name in provider) return provider[name] }
        return ""
      }
      $2 ~ /^ii/ {
        installed[$1] = 1
        deps[$1] = $6
        if ($3 == "yes" || $4 == "required") queue[++tail] = $1
        n = split($5, provided, ",")
        for (i = 1; i <= n; i++) { v = clean(provided[i]); if (v != "" && !(v in provider)) provider[v] = $1 }
      }
      END {
        n = split(roots, root, ",")
        for (r = 1; r <= n; r++) {
          if (clean(root[r]) == "") continue
          chosen = choose(root[r])
          if (chosen == "") { print "not installed: " clean(root[r]) > "/dev/stderr"; missing = 1 }
          else queue[++tail] = chosen
        }
        while (head < tail) {
          p = queue[++head]
          if (p in accepted) continue
          accepted[p] = 1
          print p
          groups = split(deps[p], group, ",")
          for (g = 1; g <= groups; g++) {
            chosen = choose(group[g])
            if (chosen != "" && !(chosen in accepted)) queue[++tail] = chosen
          }
        }
        exit missing
      }' | sort -u
}

# package_owners < PATHS: "path<TAB>package" for each path (one a line) and each package that
# owns it, from dpkg's file lists. dpkg records some files under /bin, /sbin and /lib that merged
# /usr shows under /usr, and the other way round; symbolic links (alternatives among them) are
# looked up as themselves and as their targets. Paths that no package owns are left out.
package_owners() {
  local path real p candidates
  candidates=$(mktemp)
  while read -r path; do
    [ -n "$path" ] || continue
    real=$(realpath -e "$path" 2>/dev/null || echo "$path")
    for p in "$path" "$real"; do
      printf '%s\t%s\n' "$p" "$path"
      case "$p" in
        /usr/bin/* | /usr/sbin/* | /usr/lib/* | /usr/lib64/*) printf '%s\t%s\n' "${p#/usr}" "$path" ;;
        /bin/* | /sbin/* | /lib/* | /lib64/*) printf '%s\t%s\n' "/usr$p" "$path" ;;
      esac
    done
  done | sort -u >"$candidates"
  { cut -f1 "$candidates" | grep -Fx -f - /var/lib/dpkg/info/*.list || true; } |
    sed -E 's|^/var/lib/dpkg/info/([^:/]+)(:[a-z0-9]+)?\.list:|\1\t|' |
    awk -F'\t' -v candidates="$candidates" '
      BEGIN { while ((getline line < candidates) > 0) { split(line, f, "\t"); asked[f[1]] = asked[f[1]] "\t" f[2] } }
      {
        m = split(substr(asked[$2], 2), original, "\t")
        for (j = 1; j <= m; j++) print original[j] "\t" $1
      }' | sort -u
  rm -f "$candidates"
}
